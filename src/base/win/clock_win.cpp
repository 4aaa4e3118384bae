// Windows clock: GetLocalTime, GetTickCount64, Sleep.
#include <windows.h>

#include "base/clock.h"

namespace tvde {

LocalTime CurrentLocalTime() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

uint64_t TickCountMs() {
  return GetTickCount64();
}

void SleepMs(uint32_t milliseconds) {
  Sleep(milliseconds);
}

}  // namespace tvde
