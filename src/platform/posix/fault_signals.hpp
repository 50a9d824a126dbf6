// The signals by which the processor or the program itself reports a fault: they end the
// process at once, the terminal restored first, on whichever thread raised them.
#pragma once

#include <csignal>

#include <array>

namespace lotrix {

inline constexpr std::array kFaultSignals{SIGSEGV, SIGBUS,  SIGILL, SIGFPE,
                                          SIGSYS,  SIGABRT, SIGTRAP};

}  // namespace lotrix
