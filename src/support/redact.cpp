#include "support/redact.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "support/text.h"
#include "support/url_credentials.h"

namespace quorl {
namespace {

constexpr std::string_view MASK = "****";

// Longest first, so that a secret holding another one is hidden whole.
std::vector<std::string>& remembered() {
    static std::vector<std::string> secrets;
    return secrets;
}

std::string without_remembered_secrets(std::string_view text) {
    std::string out(text);
    for (const std::string& secret : remembered()) {
        if (out.find(secret) != std::string::npos) out = text::replace_all(out, secret, MASK);
    }
    return out;
}

bool is_scheme_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

// The end of the URL that starts at `from`: white space or a quote.
std::size_t url_end(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && !text::is_space(text[end]) && text[end] != '"' && text[end] != '\'') ++end;
    return end;
}

}  // namespace

void remember_secret(std::string_view secret) {
    if (secret.find_first_not_of('*') == std::string_view::npos) return;
    std::vector<std::string>& secrets = remembered();
    if (std::find(secrets.begin(), secrets.end(), secret) != secrets.end()) return;
    secrets.emplace_back(secret);
    std::stable_sort(secrets.begin(), secrets.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

void remember_url_secrets(std::string_view text) {
    for (std::size_t scheme = text.find("://"); scheme != std::string_view::npos;
         scheme = text.find("://", scheme + 3)) {
        std::size_t start = scheme;
        while (start > 0 && is_scheme_char(text[start - 1])) --start;
        // To the end of the text: a password may hold white space or quotes.
        const std::optional<UrlCredentials> found = url_credentials(text.substr(start));
        if (!found) continue;
        const std::string& written = found->written_user_info;
        const std::string decoded = found->has_password ? found->password : found->login;
        remember_secret(found->has_password ? written.substr(written.find(':') + 1) : written);
        remember_secret(decoded);
        remember_secret(percent_encode(decoded));
        remember_secret(percent_encode(decoded, "/"));
    }
}

bool may_hold_credentials(std::string_view text) {
    if (text.find("://") != std::string_view::npos) return true;
    for (const std::string& secret : remembered()) {
        if (text.find(secret) != std::string_view::npos) return true;
    }
    return false;
}

std::string redact_credentials(std::string_view raw) {
    std::string hidden = without_remembered_secrets(raw);
    // Every log line passes through here, and few hold a URL.
    if (hidden.find("://") == std::string::npos) return hidden;
    const std::string_view text = hidden;
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
