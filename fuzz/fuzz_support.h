// Shared pieces of the fuzz targets: a check that stops the run with a
// message, input splitting, a marker environment, and an in-memory file for
// parsers that only read from paths.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/marker.h"

// A broken property is a finding: print it and abort, so libFuzzer keeps the
// input as a crash.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace quorl::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits at NUL bytes, so one input can carry several fields (a marker and
// the environment it is evaluated in, two versions, ...).
inline std::vector<std::string_view> split_fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t nul = text.find('\0', start);
        if (nul == std::string_view::npos) break;
        fields.push_back(text.substr(start, nul - start));
        start = nul + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

// The marker values of a typical Linux CPython 3.11.
inline MarkerValues linux_cpython_environment() {
    MarkerValues environment;
    environment.set(MarkerVariable::ImplementationName, "cpython");
    environment.set(MarkerVariable::ImplementationVersion, "3.11.2");
    environment.set(MarkerVariable::OsName, "posix");
    environment.set(MarkerVariable::PlatformMachine, "x86_64");
    environment.set(MarkerVariable::PlatformPythonImplementation, "CPython");
    environment.set(MarkerVariable::PlatformRelease, "6.1.0-18-amd64");
    environment.set(MarkerVariable::PlatformSystem, "Linux");
    environment.set(MarkerVariable::PlatformVersion, "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1");
    environment.set(MarkerVariable::PythonFullVersion, "3.11.2");
    environment.set(MarkerVariable::PythonVersion, "3.11");
    environment.set(MarkerVariable::SysPlatform, "linux");
    return environment;
}

// A file that lives in memory, reachable by path (/proc/self/fd/N), for the
// readers that take a path. One per process, rewritten for every input.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("quorl-fuzz", 0)) {
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    // Replaces the content; returns the path to open.
    const std::string& write(std::string_view content) {
        if (::ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = ::pwrite(fd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace quorl::fuzz
