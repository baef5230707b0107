// Text helpers every reader relies on: UTF-8 checks, Python's line breaks,
// stripping, the hiding of credentials and the printable form of shown text.
#include "fuzz_support.h"
#include "support/printable.h"
#include "support/redact.h"
#include "support/text.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::as_text(data, size);

    if (text::is_valid_utf8(text)) {
        FUZZ_CHECK(text::count_code_points(text) <= text.size());
        for (const std::string& line : text::split_lines(text)) {
            FUZZ_CHECK(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
            FUZZ_CHECK(text::is_valid_utf8(line));
        }
    } else {
        text::split_lines(text);
    }
    const std::string_view stripped = text::strip(text);
    FUZZ_CHECK(text::strip(stripped) == stripped);

    // Hiding is stable, and a hidden text shows no password.
    const std::string shown = redact_credentials(text);
    FUZZ_CHECK(redact_credentials(shown) == shown);

    // What reaches standard error is one valid UTF-8 line of bounded size.
    const std::string line = printable_line(text);
    FUZZ_CHECK(text::is_valid_utf8(line));
    FUZZ_CHECK(text::split_lines(line).size() <= 1);
    for (const char c : line) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    FUZZ_CHECK(line.size() <= 4 * (PRINTABLE_LIMIT + 3) + 64);
    if (line.size() <= PRINTABLE_LIMIT) FUZZ_CHECK(printable_line(line) == line);
    return 0;
}
