#pragma once
// Wall-clock and monotonic time, and sleeping.

#include <cstdint>

namespace tvde {

struct LocalTime {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t milliseconds = 0;
};

LocalTime CurrentLocalTime();

// Milliseconds from an arbitrary start; never goes backwards.
uint64_t TickCountMs();

void SleepMs(uint32_t milliseconds);

}  // namespace tvde
