#include "support/printable.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/redact.h"
#include "support/text.h"

namespace quorl {
namespace {

void append_escape(std::string& out, const char* format, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

// Length of the well-formed UTF-8 sequence starting at `at`, 0 when the
// bytes there are not one.
std::size_t sequence_length(std::string_view s, std::size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > s.size()) return 0;
    return text::is_valid_utf8(s.substr(at, length)) ? length : 0;
}

// The code point of a well-formed sequence of 2 or 3 bytes.
unsigned code_point(std::string_view sequence) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
    if (sequence.size() == 2) return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
}

// Appends the character at `at`, which is not plain printable ASCII,
// escaped where it needs it; returns its length in bytes.
std::size_t append_character(std::string& out, std::string_view s, std::size_t at) {
    const auto c = static_cast<unsigned char>(s[at]);
    if (c < 0x80) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            append_escape(out, "\\x%02x", c);  // the other C0 controls and DEL
        }
        return 1;
    }
    const std::size_t length = sequence_length(s, at);
    if (length == 0) {
        append_escape(out, "\\x%02x", c);
        return 1;
    }
    const std::string_view sequence = s.substr(at, length);
    const unsigned point = length <= 3 ? code_point(sequence) : 0;
    if ((point >= 0x80 && point <= 0x9F) || point == 0x2028 || point == 0x2029) {
        append_escape(out, "\\u%04x", point);
    } else {
        out += sequence;
    }
    return length;
}

bool is_plain_printable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F;
}

void append_printable(std::string& out, std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        // Messages are almost all plain printable ASCII, which is kept as it
        // is: copy each such run in one append, and look closer only at what
        // follows it.
        std::size_t run_end = i;
        while (run_end < s.size() && is_plain_printable(s[run_end])) ++run_end;
        out.append(s.substr(i, run_end - i));
        i = run_end;
        if (i < s.size()) i += append_character(out, s, i);
    }
}

// A cut position at or before `at` that does not split a UTF-8 character
// (which has at most three continuation bytes), so the cut adds no \xNN.
std::size_t character_boundary(std::string_view s, std::size_t at) {
    for (int back = 0; back < 3 && at > 0 && at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
         ++back) {
        --at;
    }
    return at;
}

std::string escaped_and_cut(std::string_view text, std::string_view source) {
    // Hidden before the cut, so that a cut through a URL cannot leave the
    // start of a password without the "@" that marks it.
    const std::string redacted = redact_credentials(text);
    const std::string_view shown = redacted;
    std::string out;
    if (shown.size() <= PRINTABLE_LIMIT) {
        out.reserve(shown.size());
        append_printable(out, shown);
        return out;
    }
    // Messages start with where (file, line, distribution) and end with what
    // was wrong; the quoted text between them is what gets cut.
    const std::size_t head_end = character_boundary(shown, PRINTABLE_LIMIT - PRINTABLE_LIMIT / 4);
    const std::size_t tail_start = character_boundary(shown, shown.size() - PRINTABLE_LIMIT / 4);
    append_printable(out, shown.substr(0, head_end));
    out += " ... (" + std::to_string(tail_start - head_end) + " bytes ";
    if (!source.empty()) out += "of " + std::string(source) + " ";
    out += "left out) ... ";
    append_printable(out, shown.substr(tail_start));
    return out;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Whether append_printable copies `s` unchanged: plain printable ASCII and
// well-formed UTF-8 other than the C1 controls and U+2028 / U+2029. A tree
// printed on standard output has three such characters of UTF-8 on every
// line, so this is checked inline rather than character by character.
bool printable_as_is(std::string_view s) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F) {
            ++i;
            continue;
        }
        if (c < 0xC2 || c > 0xF4) return false;  // controls, DEL, stray continuations, overlong leads
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (i + length > n) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if (!is_continuation(s[i + k])) return false;
        }
        const auto second = static_cast<unsigned char>(s[i + 1]);
        const bool bad = (c == 0xC2 && second < 0xA0)                                     // C1 controls
                         || (c == 0xE0 && second < 0xA0) || (c == 0xF0 && second < 0x90)  // overlong
                         || (c == 0xED && second >= 0xA0)                                 // surrogates
                         || (c == 0xF4 && second >= 0x90)                                 // above U+10FFFF
                         || (c == 0xE2 && second == 0x80 && (s[i + 2] == '\xA8' || s[i + 2] == '\xA9'));
        if (bad) return false;
        i += length;
    }
    return true;
}

// Whether `text` is its own printable form: short enough, plain printable
// ASCII, and nothing in it to hide.
bool shown_unchanged(std::string_view text) {
    return text.size() <= PRINTABLE_LIMIT && all_plain_printable(text) && !may_hold_credentials(text);
}

}  // namespace

// Eight bytes at a time: in each byte of x, one below 0x20 sets the high
// bit of x - 0x20, 0x7F sets it in x + 0x01, and one of 0x80 or above has
// it set already. A byte equal to an excluded one is a zero byte of x XOR
// that byte repeated, which (y - 1) & ~y marks. A borrow or carry between
// bytes starts only at such a byte, so it cannot hide one.
bool all_plain_printable_except(std::string_view s, char first, char second) {
    constexpr std::uint64_t ONES = 0x0101010101010101, HIGH = 0x8080808080808080;
    const auto has_zero_byte = [](std::uint64_t y) { return ((y - ONES) & ~y & HIGH) != 0; };
    const auto first_bytes = static_cast<unsigned char>(first) * ONES;
    const auto second_bytes = static_cast<unsigned char>(second) * ONES;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, s.data() + i, 8);
        if ((((x - 0x20 * ONES) | x | (x + ONES)) & HIGH) || has_zero_byte(x ^ first_bytes) ||
            has_zero_byte(x ^ second_bytes)) {
            return false;
        }
    }
    for (; i < s.size(); ++i) {
        if (!is_plain_printable(s[i]) || s[i] == first || s[i] == second) return false;
    }
    return true;
}

// A control character is never printable, so excluding it excludes nothing more.
bool all_plain_printable(std::string_view s) { return all_plain_printable_except(s, '\0', '\0'); }

void append_printable_line(std::string& out, std::string_view text) {
    // Almost every log line is such text: one scan spares the copies that
    // escaping and hiding credentials make.
    if (shown_unchanged(text)) {
        out += text;
        return;
    }
    // Hidden once more after escaping: escapes can join what white space or a
    // control character kept apart into one URL, and showing a line twice must
    // not change it.
    out += redact_credentials(escaped_and_cut(text, {}));
}

void append_escaped_controls(std::string& out, std::string_view text) {
    if (all_plain_printable(text) || printable_as_is(text)) {
        out += text;
        return;
    }
    append_printable(out, text);
}

std::string printable_line(std::string_view text) {
    std::string out;
    append_printable_line(out, text);
    return out;
}

std::string printable_line(std::string_view text, std::string_view source) {
    if (shown_unchanged(text)) return std::string(text);
    return redact_credentials(escaped_and_cut(text, source));
}

}  // namespace quorl
