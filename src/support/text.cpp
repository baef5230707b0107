#include "support/text.h"

namespace quorl::text {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
           (c >= '\x1c' && c <= '\x1f');
}

std::string_view lstrip(std::string_view s) {
    std::size_t begin = 0;
    while (begin < s.size() && is_space(s[begin])) ++begin;
    return s.substr(begin);
}

std::string_view rstrip(std::string_view s) {
    std::size_t end = s.size();
    while (end > 0 && is_space(s[end - 1])) --end;
    return s.substr(0, end);
}

std::string_view strip(std::string_view s) { return rstrip(lstrip(s)); }

std::vector<std::string> split(std::string_view s, std::string_view separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = s.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(s.substr(start));
            return pieces;
        }
        pieces.emplace_back(s.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string join(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) out.append(separator);
        out.append(pieces[i]);
    }
    return out;
}

std::string to_lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.starts_with(prefix); }

bool ends_with(std::string_view s, std::string_view suffix) { return s.ends_with(suffix); }

std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = from.empty() ? std::string_view::npos : s.find(from, start);
        if (at == std::string_view::npos) break;
        out.append(s.substr(start, at - start));
        out.append(to);
        start = at + from.size();
    }
    out.append(s.substr(start));
    return out;
}

}  // namespace quorl::text
