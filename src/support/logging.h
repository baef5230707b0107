// The application logger: `LEVEL: message` lines on standard error.
// Warnings and errors are always shown; debug lines only when the environment
// variable QUORL_LOG_LEVEL is "debug" (read once, on first use).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quorl::log {

void debug(std::string_view message);
void warning(std::string_view message);
void error(std::string_view message);

bool debug_enabled();

// The time since it was made, for debug lines that time a phase of a run.
class Stopwatch {
public:
    Stopwatch();
    // Elapsed milliseconds, as text: "12.3 ms".
    std::string elapsed() const;

private:
    std::chrono::steady_clock::time_point start_;
};

// Warnings that may come by the thousand (the consistency checks), formed as
// warning() forms them and written together: one write for many lines
// rather than one each. The owner flushes before anything else is printed;
// the destructor flushes what is left.
class WarningBatch {
public:
    WarningBatch() = default;
    WarningBatch(const WarningBatch&) = delete;
    WarningBatch& operator=(const WarningBatch&) = delete;
    ~WarningBatch() { flush(); }

    void add(std::string_view message);
    void flush();

private:
    std::string pending_;
};

}  // namespace quorl::log
