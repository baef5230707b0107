#include "support/redact.h"

namespace quorl {

std::string redact_credentials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t scheme = text.find("://", pos);
        if (scheme == std::string_view::npos) break;
        const std::size_t authority = scheme + 3;
        // The authority ends at the first "/", white space or quote.
        std::size_t end = authority;
        while (end < text.size() && text[end] != '/' && text[end] != ' ' && text[end] != '\t' &&
               text[end] != '\n' && text[end] != '"' && text[end] != '\'') {
            ++end;
        }
        const std::string_view auth = text.substr(authority, end - authority);
        const std::size_t at = auth.rfind('@');
        const std::size_t colon = at == std::string_view::npos ? at : auth.find(':');
        out.append(text.substr(pos, authority - pos));
        if (at != std::string_view::npos && colon != std::string_view::npos && colon < at) {
            out.append(auth.substr(0, colon + 1));
            out.append("****");
            out.append(auth.substr(at));
        } else {
            out.append(auth);
        }
        pos = end;
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace quorl
