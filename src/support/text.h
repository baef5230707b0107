// Small text helpers with the semantics the tool's formats are written in.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorl::text {

// A hash of strings that also takes a string_view, so that a map keyed by
// std::string is searched without making a string of the key.
struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// A map keyed by text, searched by any string_view.
template <typename T>
using MapByText = std::unordered_map<std::string, T, Hash, std::equal_to<>>;

// True for the ASCII white space characters (space, \t, \n, \v, \f, \r and
// the separators \x1c-\x1f), the set that requirement files and group strings
// are trimmed of.
bool is_space(char c);

std::string_view strip(std::string_view s);
std::string_view lstrip(std::string_view s);
std::string_view rstrip(std::string_view s);

// Splits at every occurrence of `separator` (no limit); empty pieces stay.
std::vector<std::string> split(std::string_view s, std::string_view separator);

std::string join(const std::vector<std::string>& pieces, std::string_view separator);

// ASCII case folding: names, header names and file name suffixes of the
// formats read here are ASCII, and other bytes (UTF-8) pass unchanged.
constexpr char to_lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_alnum(char c) { return is_ascii_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool equals_ignoring_case(std::string_view a, std::string_view b);
bool ends_with_ignoring_case(std::string_view s, std::string_view suffix);

std::string to_lower_ascii(std::string_view s);

// `s` without the UTF-8 byte-order mark it may start with: editors on some
// systems put one at the start of a text file, and it is invisible there.
std::string_view without_utf8_bom(std::string_view s);

bool ends_with(std::string_view s, std::string_view suffix);

// Replaces every occurrence of `from` by `to`.
std::string replace_all(std::string_view s, std::string_view from, std::string_view to);

}  // namespace quorl::text

namespace quorl::text {

// True when `s` is well-formed UTF-8 (no overlongs, surrogates or values
// above U+10FFFF).
bool is_valid_utf8(std::string_view s);

// Number of Unicode code points of well-formed UTF-8 text.
std::size_t count_code_points(std::string_view s);

// Splits at line boundaries the way Python's str.splitlines does: \n, \r\n,
// \r, \v, \f, \x1c-\x1e, U+0085, U+2028 and U+2029. A break at the very end
// adds no empty line.
std::vector<std::string> split_lines(std::string_view s);

// The bytes a line break can start with: the ASCII breaks, and the lead
// bytes of U+0085 (C2 85) and of U+2028 / U+2029 (E2 80 A8 / A9).
inline constexpr std::array<bool, 256> LINE_BREAK_LEADS = [] {
    std::array<bool, 256> leads{};
    for (const unsigned char c : {0x0A, 0x0B, 0x0C, 0x0D, 0x1C, 0x1D, 0x1E, 0xC2, 0xE2}) leads[c] = true;
    return leads;
}();

// The byte length of the line break that starts at `s[i]`, 0 if none.
std::size_t line_break_length(std::string_view s, std::size_t i);

// Where the first line break at or after `from` starts and its byte length
// (s.size() and 0 when none follows). Most bytes cannot start a break, so
// one table look-up passes them inline.
struct LineBreak {
    std::size_t at;
    std::size_t length;
};
inline LineBreak find_line_break(std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (!LINE_BREAK_LEADS[static_cast<unsigned char>(s[i])]) continue;
        if (const std::size_t length = line_break_length(s, i)) return {i, length};
    }
    return {s.size(), 0};
}

// The same lines as split_lines, handed to `visit` one by one without a copy
// (a view into `s`). A template rather than a std::function: files of many
// thousand lines pay the call per line.
template <typename Visit>
void for_each_line(std::string_view s, Visit&& visit) {
    for (std::size_t start = 0; start < s.size();) {
        const LineBreak next = find_line_break(s, start);
        visit(s.substr(start, next.at - start));
        start = next.at + next.length;
    }
}

// Strips what Python's str.strip() strips from UTF-8 text: every character
// str.isspace() accepts (the ASCII set of is_space, U+0085, U+00A0, U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F and U+3000). Names typed
// or pasted by people end in a no-break space as easily as in a blank.
// Bytes that are not UTF-8 are kept.
std::string_view strip_unicode_space(std::string_view s);

// Eight bytes of `name` from `offset` as a big-endian number, zero-padded:
// the numbers of two texts compare as their bytes do, so a sort of many
// names (keys, package texts) orders most pairs without a call to memcmp.
// Equal numbers say nothing: the names are then compared in full.
inline std::uint64_t ordered_prefix(std::string_view name, std::size_t offset) {
    std::uint64_t prefix = 0;
    if (offset + 8 <= name.size()) {
        std::memcpy(&prefix, name.data() + offset, 8);
        return std::endian::native == std::endian::little ? __builtin_bswap64(prefix) : prefix;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = offset + i;
        const unsigned char byte = at < name.size() ? static_cast<unsigned char>(name[at]) : 0;
        prefix = prefix << 8 | byte;
    }
    return prefix;
}

// The positions of `texts` in byte order of the texts (equal texts in their
// own order). Sorts by the first sixteen bytes read as numbers
// (ordered_prefix), which order nearly every pair of names at the cost of
// an integer compare, and compares in full only where those are equal.
std::vector<std::size_t> byte_order(const std::vector<std::string_view>& texts);

// `items` in byte order of the text `text_of(item)` gives (a view into the
// item), by byte_order: positions are sorted, and each item is moved once
// rather than swapped all through the sort.
template <typename T, typename TextOf>
std::vector<T> sorted_by_text(std::vector<T> items, TextOf text_of) {
    std::vector<std::string_view> texts;
    texts.reserve(items.size());
    for (const T& item : items) texts.push_back(text_of(item));
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const std::size_t i : byte_order(texts)) sorted.push_back(std::move(items[i]));
    return sorted;
}

}  // namespace quorl::text
