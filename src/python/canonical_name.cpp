#include "python/canonical_name.h"

#include "support/text.h"

namespace quorl {

std::string canonical_name(std::string_view name) {
    // Written in place: this runs for every name of every requirement line.
    std::string out(name.size(), '\0');
    std::size_t size = 0;
    bool in_separator_run = false;
    for (char c : name) {
        const bool separator = c == '-' || c == '_' || c == '.';
        if (!separator) {
            out[size++] = text::to_lower_ascii(c);
        } else if (!in_separator_run) {
            out[size++] = '-';
        }
        in_separator_run = separator;
    }
    out.resize(size);
    return out;
}

}  // namespace quorl
