// Buffered writing to standard output: listings can run to millions of lines,
// so lines are gathered and written in large blocks.
#pragma once

#include <string>
#include <string_view>

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

    void write(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= CAPACITY) flush();
    }
    void line(std::string_view text) {
        write(text);
        write("\n");
    }
    // Throws OsError when standard output cannot take the bytes.
    void flush();

private:
    static constexpr std::size_t CAPACITY = 1 << 16;
    std::string buffer_;
};

}  // namespace quorl
