// Making text that came from outside (file contents, metadata, command-line
// values, other programs' output) safe to show as one line on a terminal or
// in a log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorl {

// Longest shown text, in bytes, before its middle is cut out: a message
// quoting a 100 MB line must not flood the terminal.
inline constexpr std::size_t PRINTABLE_LIMIT = 4096;

// Whether every byte of `s` is printable ASCII (0x20 to 0x7E): text that
// needs no escape to be shown, found eight bytes at a time.
bool all_plain_printable(std::string_view s);

// The same, and neither `first` nor `second` among them (a JSON string's
// '"' and '\\', say).
bool all_plain_printable_except(std::string_view s, char first, char second);

// `text` with credentials of URLs hidden (see redact_credentials), then made
// printable: control characters become \n, \r, \t or \xNN, bytes that are not
// well-formed UTF-8 become \xNN, the C1 controls and the Unicode line and
// paragraph separators become \uNNNN. Of text longer than PRINTABLE_LIMIT
// bytes the first three quarters of the limit and the last quarter are kept
// (where a message says where and what), with " ... (N bytes left out) ... "
// between them. Well-formed printable text, backslashes included, is
// returned unchanged. The result is valid UTF-8 without line
// breaks or other control characters.
std::string printable_line(std::string_view text);
// The same, appended to `out`.
void append_printable_line(std::string& out, std::string_view text);

// The escapes of printable_line alone, appended to `out`: control characters
// (C0, DEL, C1), bytes that are not well-formed UTF-8 (a terminal reading
// eight-bit text takes 0x80-0x9F for controls) and the Unicode line and
// paragraph separators are escaped; nothing is hidden or cut. What standard
// output shows of names read from installed metadata, where an escape
// sequence could otherwise drive the terminal. Valid names never hold such
// characters, so their output is unchanged.
void append_escaped_controls(std::string& out, std::string_view text);

// The same for text passed on from `source` ("pip's output"): the cut says
// whose text it shortened, " ... (N bytes of pip's output left out) ... ".
std::string printable_line(std::string_view text, std::string_view source);

}  // namespace quorl
