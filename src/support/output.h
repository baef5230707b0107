// Buffered writing to standard output: listings can run to millions of lines,
// so lines are gathered and written in large blocks. Control characters in
// the text are escaped (support/printable.h): names come from installed
// metadata, and an escape sequence in one must not reach the terminal.
#pragma once

#include <string>
#include <string_view>

#include "support/printable.h"

namespace quorl {

class StdoutWriter {
public:
    StdoutWriter() { buffer_.reserve(CAPACITY); }
    // Callers flush explicitly to see errors; this only saves what is left.
    ~StdoutWriter() {
        try {
            flush();
        } catch (...) {}
    }
    StdoutWriter(const StdoutWriter&) = delete;
    StdoutWriter& operator=(const StdoutWriter&) = delete;

    // `text` holds no line break of its own: one would be escaped.
    void write(std::string_view text) {
        append_escaped_controls(buffer_, text);
        if (buffer_.size() >= CAPACITY) flush();
    }
    void line(std::string_view text) {
        write(text);
        end_line();
    }
    // Text the caller made safe: its own drawing, or names escaped where
    // they were put in. A tree's lines or a listing's indentation scanned
    // again cost up to three times their writing.
    void safe_line(std::string_view text) {
        buffer_.append(text);
        end_line();
    }
    // One line of a listing: `indent` spaces and the caller's own safe
    // `marker`, then `text` escaped. Appended in place with one check of the
    // buffer per line: a listing has a line per package and group.
    void indented_line(std::size_t indent, std::string_view marker, std::string_view text) {
        buffer_.append(indent, ' ');
        buffer_.append(marker);
        append_escaped_controls(buffer_, text);
        end_line();
    }
    // Throws OsError when standard output cannot take the bytes.
    void flush();

private:
    void end_line() {
        buffer_ += '\n';
        if (buffer_.size() >= CAPACITY) flush();
    }

    static constexpr std::size_t CAPACITY = 1 << 16;
    std::string buffer_;
};

}  // namespace quorl
