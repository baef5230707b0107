#include "pep/scanner.h"

#include <array>

#include "support/text.h"

namespace quorl {

bool is_word_char(char c) { return text::is_ascii_alnum(c) || c == '_'; }

bool Scanner::take_keyword(std::string_view keyword) {
    if (text_.substr(pos_, keyword.size()) != keyword) return false;
    const std::size_t end = pos_ + keyword.size();
    if (end < text_.size() && is_word_char(text_[end])) return false;
    pos_ = end;
    return true;
}

std::string_view Scanner::take_word() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && (is_word_char(text_[pos_]) || text_[pos_] == '.')) ++pos_;
    return text_.substr(start, pos_ - start);
}

namespace {

// What each byte is to a name: every requirement line starts with one, so a
// table lookup replaces the chain of range tests at each character.
enum NameChar : unsigned char { NOT_IN_NAME, ALNUM, SEPARATOR };

constexpr std::array<unsigned char, 256> name_chars() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (text::is_ascii_alnum(static_cast<char>(c))) table[c] = ALNUM;
    }
    table['.'] = table['_'] = table['-'] = SEPARATOR;
    return table;
}

constexpr std::array<unsigned char, 256> NAME_CHARS = name_chars();

unsigned char name_char(char c) { return NAME_CHARS[static_cast<unsigned char>(c)]; }

}  // namespace

std::string_view Scanner::take_name() {
    const std::size_t start = pos_;
    if (at_end() || name_char(text_[pos_]) != ALNUM) return {};
    std::size_t last_alnum = pos_;
    while (pos_ < text_.size()) {
        const unsigned char kind = name_char(text_[pos_]);
        if (kind == ALNUM) {
            last_alnum = pos_;
        } else if (kind == NOT_IN_NAME) {
            break;
        }
        ++pos_;
    }
    // Trailing separators belong to whatever follows, as in "name-" (an error there).
    pos_ = last_alnum + 1;
    return text_.substr(start, pos_ - start);
}

std::string_view Scanner::take_until_any(std::string_view stops) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && stops.find(text_[pos_]) == std::string_view::npos) ++pos_;
    return text_.substr(start, pos_ - start);
}

std::string describe_syntax_failure(std::string_view what, std::string_view text, const SyntaxFailure& failure) {
    return std::string(what) + " '" + std::string(text) + "': " + failure.expected + " at position " +
           std::to_string(failure.position);
}

}  // namespace quorl
