#include "pep/canonical_name.h"

#include "support/text.h"

namespace quorl {

void make_canonical(std::string& name) {
    // Through a plain pointer and length: a char written through the
    // string's own operator[] may alias the string, so its data and size
    // were read again at every character of every name of the environment.
    char* const data = name.data();
    const std::size_t length = name.size();
    std::size_t size = 0;
    bool in_separator_run = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = data[i];
        const bool separator = c == '-' || c == '_' || c == '.';
        if (!separator) {
            data[size++] = text::to_lower_ascii(c);
        } else if (!in_separator_run) {
            data[size++] = '-';
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
