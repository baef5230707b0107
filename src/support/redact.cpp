#include "support/redact.h"

#include "support/text.h"

namespace quorl {
namespace {

// The end of the URL that starts at `from`: white space or a quote.
std::size_t url_end(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && !text::is_space(text[end]) && text[end] != '"' && text[end] != '\'') ++end;
    return end;
}

}  // namespace

std::string redact_credentials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t scheme = text.find("://", pos);
        if (scheme == std::string_view::npos) break;
        const std::size_t start = scheme + 3;
        const std::size_t end = url_end(text, start);
        const std::string_view url = text.substr(start, end - start);
        // Passwords are written into URLs as they are, so one may hold "/",
        // "?", "#" or "@": the credentials run from the first ":" to the
        // last "@" of the URL. An "@" further on in a path hides a little
        // more than the password, never less.
        const std::size_t at = url.rfind('@');
        const std::size_t colon = at == std::string_view::npos ? at : url.substr(0, at).find(':');
        out.append(text.substr(pos, start - pos));
        if (colon != std::string_view::npos) {
            out.append(url.substr(0, colon + 1));
            out.append("****");
            out.append(url.substr(at));
        } else {
            out.append(url);
        }
        pos = end;
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace quorl
