#include "platform/clock.hpp"

#include <ctime>

namespace lotrix {
namespace {

std::int32_t SystemSeconds() {
    const auto now = static_cast<std::uint64_t>(std::time(nullptr));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now));
}

ClockSource g_clock = SystemSeconds;

}  // namespace

std::int32_t CalendarSeconds() {
    return g_clock();
}

void UseClock(ClockSource source) {
    g_clock = source != nullptr ? source : SystemSeconds;
}

}  // namespace lotrix
