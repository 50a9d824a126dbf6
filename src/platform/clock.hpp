// The calendar clock: whole seconds since 1970-01-01 00:00:00 UTC, as a signed 32-bit
// value. Past January 2038 the count keeps its low 32 bits (it goes negative and keeps
// advancing), so clock seeds stay distinct and differences of two readings stay right
// when taken with wrapping subtraction.
#pragma once

#include <cstdint>

namespace lotrix {

[[nodiscard]] std::int32_t CalendarSeconds();

// A clock that only goes forward, in milliseconds from an arbitrary start, for measuring
// a run while it goes; cheap enough to read once per block of numbers.
[[nodiscard]] std::int64_t MonotonicMilliseconds();

// Tests put a clock of their own in place of the system's; nullptr restores it.
using ClockSource = std::int32_t (*)();
void UseClock(ClockSource source);

}  // namespace lotrix
