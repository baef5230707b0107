#include "python/canonical_name.h"

#include "support/text.h"

namespace quorl {

std::string canonical_name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    bool in_separator_run = false;
    for (char c : name) {
        if (c == '-' || c == '_' || c == '.') {
            if (!in_separator_run) out += '-';
            in_separator_run = true;
            continue;
        }
        in_separator_run = false;
        out += text::to_lower_ascii(c);
    }
    return out;
}

}  // namespace quorl
