// The system clock on Windows: local time through GetLocalTime.
#include <windows.h>

#include "framework/Clock.h"

namespace tempolog {

LocalTime SystemNow() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return LocalTime{st.wYear,   st.wMonth,  st.wDay,         st.wHour,
                   st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace tempolog
