#include <time.h>

#include "bench/chartpaint/ThreadTime.h"

namespace tempolog::bench {

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace tempolog::bench
