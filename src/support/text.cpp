#include "support/text.h"

#include <algorithm>

#include <array>

namespace quorl::text {

std::string_view without_utf8_bom(std::string_view s) {
    constexpr std::string_view BOM = "\xEF\xBB\xBF";
    return s.starts_with(BOM) ? s.substr(BOM.size()) : s;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || (c >= '\x1c' && c <= '\x1f');
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

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_lower_ascii(a[i]) != to_lower_ascii(b[i])) return false;
    }
    return true;
}

bool ends_with_ignoring_case(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && equals_ignoring_case(s.substr(s.size() - suffix.size()), suffix);
}

std::string to_lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = to_lower_ascii(c);
    return out;
}

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

namespace quorl::text {

bool is_valid_utf8(std::string_view s) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t size = s.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (i + length > size) return false;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

std::size_t count_code_points(std::string_view s) {
    std::size_t count = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

std::size_t line_break_length(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') return 2;
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f' || (c >= 0x1c && c <= 0x1e)) return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(s[i + 2]) == 0xA8 || static_cast<unsigned char>(s[i + 2]) == 0xA9)) {
        return 3;
    }
    return 0;
}

std::vector<std::string> split_lines(std::string_view s) {
    std::vector<std::string> lines;
    for_each_line(s, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

namespace {

// Byte length of the white space character that `s` starts with, 0 if none.
std::size_t leading_space_length(std::string_view s) {
    if (s.empty()) return 0;
    if (is_space(s[0])) return 1;
    const auto byte = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
    if (byte(0) == 0xC2 && (byte(1) == 0x85 || byte(1) == 0xA0)) return 2;
    if (byte(0) == 0xE1 && byte(1) == 0x9A && byte(2) == 0x80) return 3;  // U+1680
    if (byte(0) == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) return 3;  // U+3000
    if (byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) == 0x9F) return 3;  // U+205F
    if (byte(0) == 0xE2 && byte(1) == 0x80) {
        const unsigned third = byte(2);
        if ((third >= 0x80 && third <= 0x8A) || third == 0xA8 || third == 0xA9 || third == 0xAF) return 3;
    }
    return 0;
}

// The same for the character `s` ends with. A lead byte is never a
// continuation byte, so a whole sequence at the end is the last character.
std::size_t trailing_space_length(std::string_view s) {
    for (std::size_t length = 1; length <= 3 && length <= s.size(); ++length) {
        if (leading_space_length(s.substr(s.size() - length)) == length) return length;
    }
    return 0;
}

}  // namespace

std::string_view strip_unicode_space(std::string_view s) {
    while (const std::size_t length = leading_space_length(s)) s.remove_prefix(length);
    while (const std::size_t length = trailing_space_length(s)) s.remove_suffix(length);
    return s;
}

std::vector<std::size_t> byte_order(const std::vector<std::string_view>& texts) {
    struct Position {
        std::uint64_t head;
        std::uint64_t next;
        std::size_t index;
    };
    std::vector<Position> order;
    order.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        order.push_back({ordered_prefix(texts[i], 0), ordered_prefix(texts[i], 8), i});
    }
    std::sort(order.begin(), order.end(), [&](const Position& a, const Position& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.next != b.next) return a.next < b.next;
        if (texts[a.index] != texts[b.index]) return texts[a.index] < texts[b.index];
        return a.index < b.index;
    });
    std::vector<std::size_t> positions;
    positions.reserve(order.size());
    for (const Position& position : order) positions.push_back(position.index);
    return positions;
}

}  // namespace quorl::text
