#include "pep/canonical_name.h"

#include "support/text.h"

namespace quorl {
namespace {

bool is_separator(char c) { return c == '-' || c == '_' || c == '.'; }

// Writes the canonical form of `length` bytes at `from` to `to` (which may
// be `from`: the form is never longer); returns its length. `at_dash(size)`
// is called at each "-" of the name with the length the form of the bytes
// before it has. Through plain pointers: a char written through a string's
// own operator[] may alias the string, so its data and size were read again
// at every character of every name of the environment.
template <typename AtDash>
std::size_t write_canonical(const char* from, std::size_t length, char* to, AtDash at_dash) {
    std::size_t size = 0;
    bool in_separator_run = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = from[i];
        if (c == '-') at_dash(size);
        const bool separator = is_separator(c);
        if (!separator) {
            to[size++] = text::to_lower_ascii(c);
        } else if (!in_separator_run) {
            to[size++] = '-';
        }
        in_separator_run = separator;
    }
    return size;
}

}  // namespace

void make_canonical(std::string& name) {
    name.resize(write_canonical(name.data(), name.size(), name.data(), [](std::size_t) {}));
}

std::string canonical_name(std::string_view name) {
    std::string out(name);
    make_canonical(out);
    return out;
}

bool is_canonical(std::string_view name) {
    bool after_separator = false;
    for (const char c : name) {
        if ((c >= 'A' && c <= 'Z') || c == '_' || c == '.' || (c == '-' && after_separator)) return false;
        after_separator = c == '-';
    }
    return true;
}

void append_canonical(std::string_view name, std::string& out, std::vector<std::size_t>& dash_prefixes) {
    const std::size_t start = out.size();
    out.resize(start + name.size());
    const std::size_t size = write_canonical(name.data(), name.size(), out.data() + start,
                                             [&](std::size_t prefix) { dash_prefixes.push_back(prefix); });
    out.resize(start + size);
}

}  // namespace quorl
