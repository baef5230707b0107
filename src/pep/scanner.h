// A cursor over one requirement line or marker, shared by the requirement and
// marker parsers. Failures are thrown as SyntaxFailure and turned into a
// ValueError quoting the whole text by the public parse functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorl {

struct SyntaxFailure {
    std::string expected;  // "Expected ..." sentence without the position
    std::size_t position;
};

class Scanner {
public:
    explicit Scanner(std::string_view text, std::size_t pos = 0) : text_(text), pos_(pos) {}

    std::string_view text() const { return text_; }
    std::size_t position() const { return pos_; }
    void reset(std::size_t pos) { pos_ = pos; }
    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    // Spaces and tabs, the white space of requirement lines. Defined here,
    // with the two takes: the parsers call them at every token.
    bool skip_space() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        return pos_ != start;
    }

    bool take(char c) {
        if (at_end() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    // `literal` exactly.
    bool take(std::string_view literal) {
        if (text_.substr(pos_, literal.size()) != literal) return false;
        pos_ += literal.size();
        return true;
    }
    // A keyword such as "and": the letters followed by a non-word character.
    bool take_keyword(std::string_view keyword);
    // A run of [A-Za-z0-9_.] characters; empty when none.
    std::string_view take_word();
    // A PEP 508 name: [A-Za-z0-9] optionally followed by [A-Za-z0-9._-]* and
    // ending in [A-Za-z0-9]; empty when none.
    std::string_view take_name();
    // Every character up to one of `stops` or the end.
    std::string_view take_until_any(std::string_view stops);

    [[noreturn]] void fail(std::string expected) const { throw SyntaxFailure{std::move(expected), pos_}; }
    [[noreturn]] void fail_at(std::size_t pos, std::string expected) const {
        throw SyntaxFailure{std::move(expected), pos};
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

bool is_word_char(char c);

// "<what> '<text>': <expected> at position <n>", the text of the ValueError
// raised for a line that does not parse.
std::string describe_syntax_failure(std::string_view what, std::string_view text, const SyntaxFailure& failure);

}  // namespace quorl
