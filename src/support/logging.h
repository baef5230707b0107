// The application logger: `LEVEL: message` lines on standard error.
// Warnings and errors are always shown; debug lines only when the environment
// variable QUORL_LOG_LEVEL is "debug" (read once, on first use).
#pragma once

#include <string_view>

namespace quorl::log {

void debug(std::string_view message);
void warning(std::string_view message);
void error(std::string_view message);

bool debug_enabled();

}  // namespace quorl::log
