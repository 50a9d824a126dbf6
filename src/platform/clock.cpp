#include "platform/clock.hpp"

#include "platform/system.hpp"

namespace lotrix {
namespace {

ClockSource g_clock = system::CalendarSecondsNow;

}  // namespace

std::int32_t CalendarSeconds() {
    return g_clock();
}

std::int64_t MonotonicMilliseconds() {
    return system::MonotonicMilliseconds();
}

void UseClock(ClockSource source) {
    g_clock = source != nullptr ? source : system::CalendarSecondsNow;
}

}  // namespace lotrix
