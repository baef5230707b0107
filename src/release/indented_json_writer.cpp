#include "release/indented_json_writer.h"

#include <nlohmann/json.hpp>

#include "support/printable.h"

namespace quorl {

void append_json_string(std::string& out, std::string_view value) {
    // Printable ASCII without '"' or '\': written as it is. Names, versions
    // and pinned lines are almost always such text.
    if (all_plain_printable_except(value, '"', '\\')) {
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
