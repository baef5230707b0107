#include "python/scanner.h"

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

std::string_view Scanner::take_name() {
    const std::size_t start = pos_;
    if (!text::is_ascii_alnum(peek())) return {};
    std::size_t last_alnum = pos_;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (text::is_ascii_alnum(c)) {
            last_alnum = pos_;
        } else if (c != '.' && c != '_' && c != '-') {
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
