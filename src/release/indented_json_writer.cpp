#include "release/indented_json_writer.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>

#include "support/printable.h"

namespace quorl {
namespace {

// Whether `value` holds '"' or '\\', eight bytes at a time. A byte equal to
// the one sought is a zero byte of y; (y - 1) & ~y sets the high bit of the
// lowest zero byte, and a borrow starts only at a zero byte, so a match is
// never missed nor made up. A scan with find_first_of called memchr for
// every byte: that was a tenth of writing a release.
bool holds_quote_or_backslash(std::string_view value) {
    constexpr std::uint64_t ONES = 0x0101010101010101, HIGH = 0x8080808080808080;
    const auto has_byte = [](std::uint64_t x, std::uint64_t byte) {
        const std::uint64_t y = x ^ (byte * ONES);
        return ((y - ONES) & ~y & HIGH) != 0;
    };
    std::size_t i = 0;
    for (; i + 8 <= value.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, value.data() + i, 8);
        if (has_byte(x, '"') || has_byte(x, '\\')) return true;
    }
    for (; i < value.size(); ++i) {
        if (value[i] == '"' || value[i] == '\\') return true;
    }
    return false;
}

}  // namespace

void append_json_string(std::string& out, std::string_view value) {
    // Printable ASCII without '"' or '\': written as it is. Names, versions
    // and pinned lines are almost always such text.
    if (all_plain_printable(value) && !holds_quote_or_backslash(value)) {
        out += '"';
        out += value;
        out += '"';
        return;
    }
    // Rare: left to the library, whose escapes the rest of a document uses.
    out += nlohmann::json(std::string(value)).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::string json_string(std::string_view value) {
    std::string text;
    append_json_string(text, value);
    return text;
}

void IndentedJsonWriter::key(std::string_view name) {
    start_value();
    append_json_string(out_, name);
    out_ += ": ";
    after_key_ = true;
}

void IndentedJsonWriter::string(std::string_view value) {
    start_value();
    append_json_string(out_, value);
}

void IndentedJsonWriter::start_value() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (depth_ == 0) return;
    if (!empty_) out_ += ',';
    out_ += '\n';
    out_.append(2 * (level_ + depth_), ' ');
    empty_ = false;
}

void IndentedJsonWriter::open(char bracket) {
    start_value();
    out_ += bracket;
    ++depth_;
    empty_ = true;
}

void IndentedJsonWriter::close(char bracket) {
    --depth_;
    if (!empty_) {
        out_ += '\n';
        out_.append(2 * (level_ + depth_), ' ');
    }
    out_ += bracket;
    empty_ = false;
}

}  // namespace quorl
