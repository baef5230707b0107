#include "environment/interpreter.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "support/errors.h"
#include "support/files.h"
#include "support/text.h"

namespace quorl {
namespace {

// Enough for any "#!" line and pip's wrapper around a long one.
constexpr std::size_t SCRIPT_HEAD_BYTES = 4096;

std::string script_head(const std::filesystem::path& script) {
    std::ifstream in(script, std::ios::binary);
    std::string head(SCRIPT_HEAD_BYTES, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

// The first word of `text`, without the quotes around it.
std::string first_word(std::string_view text) {
    text = text::strip(text);
    if (!text.empty() && (text.front() == '"' || text.front() == '\'')) {
        const std::size_t end = text.find(text.front(), 1);
        return std::string(text.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    }
    return std::string(text.substr(0, text.find_first_of(" \t")));
}

}  // namespace

std::filesystem::path find_on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string_view directory = rest.substr(0, colon);
        if (directory.empty()) directory = ".";
        const std::filesystem::path candidate = std::filesystem::path(directory) / program;
        if (files::is_executable(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

std::filesystem::path script_interpreter(const std::filesystem::path& script) {
    const std::string head = script_head(script);
    if (head.rfind("#!", 0) != 0) return {};
    const std::string_view first_line = std::string_view(head).substr(2, head.find('\n') - 2);
    const std::string program = first_word(first_line);
    if (program == "/bin/sh") {
        constexpr std::string_view EXEC_LINE = "\n'''exec' ";
        const std::size_t exec = head.find(EXEC_LINE);
        if (exec == std::string::npos) return {};
        return first_word(std::string_view(head).substr(exec + EXEC_LINE.size()));
    }
    if (program == "/usr/bin/env") return find_on_path(first_word(first_line.substr(first_line.find("env") + 3)));
    return program;
}

}  // namespace quorl
