#include "support/logging.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/printable.h"

namespace quorl::log {
namespace {

void write_line(std::string_view level, std::string_view message) {
    // Index URLs carry credentials, and messages quote what files and other
    // programs hold: no log line may show a password or break the line.
    const std::string shown = printable_line(message);
    std::string line;
    line.reserve(level.size() + 2 + shown.size() + 1);
    line += level;
    line += ": ";
    line += shown;
    line += '\n';
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

bool debug_enabled() {
    static const bool enabled = [] {
        const char* level = std::getenv("QUORL_LOG_LEVEL");
        return level != nullptr && std::string_view(level) == "debug";
    }();
    return enabled;
}

void debug(std::string_view message) {
    if (debug_enabled()) write_line("DEBUG", message);
}

void warning(std::string_view message) { write_line("WARNING", message); }

void error(std::string_view message) { write_line("ERROR", message); }

}  // namespace quorl::log
