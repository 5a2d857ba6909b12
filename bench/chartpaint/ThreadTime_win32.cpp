#include <windows.h>

#include "bench/chartpaint/ThreadTime.h"

namespace tempolog::bench {

namespace {

// A FILETIME counts 100-nanosecond steps.
double Seconds(const FILETIME& t) {
  ULARGE_INTEGER value;
  value.LowPart = t.dwLowDateTime;
  value.HighPart = t.dwHighDateTime;
  return static_cast<double>(value.QuadPart) * 1e-7;
}

}  // namespace

double ThreadSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
  return Seconds(kernel) + Seconds(user);
}

}  // namespace tempolog::bench
