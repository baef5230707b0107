// JSON written straight into a string, laid out as a 2-space indented dump
// of the same tree would be, byte for byte: a bill of materials repeats
// thousands of entries, and building, dumping and re-indenting a tree for
// each cost more than the release itself. The caller keeps the structure
// well formed (keys only inside objects, every container closed).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorl {

// `value` as a JSON string with every byte beyond ASCII escaped, and bytes
// that are not UTF-8 written as U+FFFD, as the documents' dump writes it.
void append_json_string(std::string& out, std::string_view value);

// The same, as a string of its own.
std::string json_string(std::string_view value);

class IndentedJsonWriter {
public:
    // Writes into `out`, the value starting `level` levels deep (its first
    // line not indented, as where a key's value begins).
    IndentedJsonWriter(std::string& out, std::size_t level) : out_(out), level_(level) {}

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }
    // The next value is this key's.
    void key(std::string_view name);
    void string(std::string_view value);
    void string_member(std::string_view name, std::string_view value) {
        key(name);
        string(value);
    }

private:
    void open(char bracket);
    void close(char bracket);
    // Where a value starts: after its key, or on a line of its own in a container.
    void start_value();

    std::string& out_;
    std::size_t level_;
    std::size_t depth_ = 0;  // containers open
    bool empty_ = true;      // the innermost open container holds nothing yet
    bool after_key_ = false;
};

}  // namespace quorl
