#include "support/logging.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/printable.h"

namespace quorl::log {
namespace {

// Index URLs carry credentials, and messages quote what files and other
// programs hold: no log line may show a password or break the line.
void append_line(std::string& out, std::string_view level, std::string_view message) {
    out += level;
    out += ": ";
    append_printable_line(out, message);
    out += '\n';
}

// Standard output is flushed first, so that lines of both that share a
// terminal come in the order they were written.
void write_out(std::string_view lines) {
    std::fflush(stdout);
    std::fwrite(lines.data(), 1, lines.size(), stderr);
    std::fflush(stderr);
}

void write_line(std::string_view level, std::string_view message) {
    std::string line;
    line.reserve(level.size() + 2 + message.size() + 1);
    append_line(line, level, message);
    write_out(line);
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

Stopwatch::Stopwatch() : start_(std::chrono::steady_clock::now()) {}

std::string Stopwatch::elapsed() const {
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start_;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", spent.count());
    return text;
}

void warning(std::string_view message) { write_line("WARNING", message); }

void error(std::string_view message) { write_line("ERROR", message); }

void WarningBatch::add(std::string_view message) {
    // Bounded, so that a run with a million warnings does not hold them all.
    constexpr std::size_t FLUSH_AT = 64 * 1024;
    append_line(pending_, "WARNING", message);
    if (pending_.size() >= FLUSH_AT) flush();
}

void WarningBatch::flush() {
    if (pending_.empty()) return;
    write_out(pending_);
    pending_.clear();
}

}  // namespace quorl::log
