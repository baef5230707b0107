#include "python/canonical_name.h"

#include "support/text.h"

namespace quorl {

void make_canonical(std::string& name) {
    std::size_t size = 0;
    bool in_separator_run = false;
    for (const char c : name) {
        const bool separator = c == '-' || c == '_' || c == '.';
        if (!separator) {
            name[size++] = text::to_lower_ascii(c);
        } else if (!in_separator_run) {
            name[size++] = '-';
        }
        in_separator_run = separator;
    }
    name.resize(size);
}

std::string canonical_name(std::string_view name) {
    std::string out(name);
    make_canonical(out);
    return out;
}

}  // namespace quorl
