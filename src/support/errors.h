// The error types of the tool. `main` maps each to an exit status and prints
// its message as one line on standard error.
#pragma once

#include <stdexcept>
#include <string>

namespace quorl {

// Messages quote file contents, and what() ends at the first NUL byte: a
// NUL is written as the four characters \x00 so the rest stays visible.
inline std::string without_nul_bytes(const std::string& message) {
    if (message.find('\0') == std::string::npos) return message;
    std::string out;
    for (const char c : message) {
        if (c == '\0') {
            out += "\\x00";
        } else {
            out += c;
        }
    }
    return out;
}

// Base of every error the tool raises on purpose. `kind` names the error for
// messages that have no text of their own (an assertion without message).
class QuorlError : public std::runtime_error {
public:
    explicit QuorlError(const std::string& message) : std::runtime_error(without_nul_bytes(message)) {}
    virtual const char* kind() const noexcept { return "Error"; }
};

// A value that cannot be used: bad requirement strings, inconsistent maps,
// unpinned requirements.
class ValueError : public QuorlError {
public:
    using QuorlError::QuorlError;
    const char* kind() const noexcept override { return "ValueError"; }
};

// An internal precondition that callers of the tool always meet.
class AssertionError : public QuorlError {
public:
    AssertionError() : QuorlError("") {}
    explicit AssertionError(const std::string& message) : QuorlError(message) {}
    const char* kind() const noexcept override { return "AssertionError"; }
};

// A lookup of a key that is not there; the message names the key.
class KeyError : public QuorlError {
public:
    using QuorlError::QuorlError;
    const char* kind() const noexcept override { return "KeyError"; }
};

// A record field rejected on construction or assignment; names the field.
class ValidationError : public QuorlError {
public:
    ValidationError(const std::string& field, const std::string& problem)
        : QuorlError(field + ": " + problem), field_(field) {}
    const std::string& field() const noexcept { return field_; }
    const char* kind() const noexcept override { return "ValidationError"; }

private:
    std::string field_;
};

// A file or process operation of the operating system failed.
class OsError : public QuorlError {
public:
    using QuorlError::QuorlError;
    const char* kind() const noexcept override { return "OSError"; }
};

// A wrong command line, or duplicate group names: exit status 2.
class UsageError : public QuorlError {
public:
    using QuorlError::QuorlError;
    const char* kind() const noexcept override { return "UsageError"; }
};

// The dependency tree of the installed environment could not be computed.
class PipDepTreeProcessingException : public QuorlError {
public:
    PipDepTreeProcessingException() : QuorlError("") {}
    explicit PipDepTreeProcessingException(const std::string& message) : QuorlError(message) {}
    const char* kind() const noexcept override { return "PipDepTreeProcessingException"; }
};

// The resolver failed: the process ends with the resolver's own exit status.
// Nothing catches it on the way to `main`.
class ResolverExit : public QuorlError {
public:
    explicit ResolverExit(int status)
        : QuorlError("resolver exited with status " + std::to_string(status)), status_(status) {}
    int status() const noexcept { return status_; }
    const char* kind() const noexcept override { return "ResolverExit"; }

private:
    int status_;
};

// SIGINT, SIGTERM or SIGHUP asked the run to stop: `main` exits with
// 128 + the signal once everything on the way has been cleaned up.
class Interrupted : public QuorlError {
public:
    explicit Interrupted(int signal_number)
        : QuorlError("interrupted by signal " + std::to_string(signal_number)), signal_(signal_number) {}
    int signal_number() const noexcept { return signal_; }
    const char* kind() const noexcept override { return "Interrupted"; }

private:
    int signal_;
};

}  // namespace quorl
