#include "release/indented_json_writer.h"

#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>

namespace quorl {

namespace {

// Whether every byte of `value` is printable ASCII other than '"' and '\':
// text a JSON string holds as it is. Eight bytes at a time, as
// all_plain_printable checks them; a byte equal to one of the two is a zero
// byte of x XOR that byte repeated, found by the exact test for a zero byte.
// Looking for the two with find_first_of took a search of the pair for every
// byte, most of the cost of a bill's components.
bool plain_json_text(std::string_view value) {
    constexpr std::uint64_t ONES = 0x0101010101010101, HIGH = 0x8080808080808080;
    const auto has_zero_byte = [](std::uint64_t x) { return ((x - ONES) & ~x & HIGH) != 0; };
    std::size_t i = 0;
    for (; i + 8 <= value.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, value.data() + i, 8);
        if ((((x - 0x20 * ONES) | x | (x + ONES)) & HIGH) || has_zero_byte(x ^ ('"' * ONES)) ||
            has_zero_byte(x ^ ('\\' * ONES))) {
            return false;
        }
    }
    for (; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
    }
    return true;
}

}  // namespace

void append_json_string(std::string& out, std::string_view value) {
    // Printable ASCII without '"' or '\': written as it is. Names, versions
    // and pinned lines are almost always such text.
    if (plain_json_text(value)) {
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
