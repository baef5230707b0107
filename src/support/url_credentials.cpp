#include "support/url_credentials.h"

#include <algorithm>
#include <cctype>

namespace quorl {
namespace {

// "scheme://" at the start: a letter, then letters, digits, "+", "-", ".".
std::size_t authority_start(std::string_view url) {
    const std::size_t separator = url.find("://");
    if (separator == std::string_view::npos || separator == 0) return std::string_view::npos;
    if (!std::isalpha(static_cast<unsigned char>(url[0]))) return std::string_view::npos;
    for (std::size_t i = 1; i < separator; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::string_view::npos;
    }
    return separator + 3;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool all_digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The position of the "@" that ends the user-info of the authority
// url[start, end), npos when there is none. People write passwords into
// URLs as they are, so "user:pa/ss@host" counts too: its authority
// "user:pa" would be a host with a port that is not a number, and the
// user-info then runs to the URL's last "@". A real port ("host:8080/a@b")
// keeps the plain reading.
std::size_t user_info_end(std::string_view url, std::size_t start, std::size_t end) {
    const std::string_view authority = url.substr(start, end - start);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) return start + at;
    const std::size_t colon = authority.find(':');
    if (colon == std::string_view::npos || all_digits(authority.substr(colon + 1))) return std::string_view::npos;
    const std::size_t last_at = url.rfind('@');
    return last_at != std::string_view::npos && last_at > end ? last_at : std::string_view::npos;
}

}  // namespace

std::optional<UrlCredentials> url_credentials(std::string_view url) {
    const std::size_t start = authority_start(url);
    if (start == std::string_view::npos) return std::nullopt;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = user_info_end(url, start, end);
    if (at == std::string_view::npos) return std::nullopt;

    UrlCredentials found;
    const std::string_view user_info = url.substr(start, at - start);
    const std::string_view rest = url.substr(at + 1);
    const std::string_view host_port = rest.substr(0, rest.find_first_of("/?#"));
    found.url_without_credentials = std::string(url.substr(0, start)) + std::string(rest);
    found.host = std::string(host_port.substr(0, host_port.find(':')));
    found.written_user_info = std::string(user_info);
    const std::size_t colon = user_info.find(':');
    found.has_password = colon != std::string_view::npos;
    found.login = percent_decode(user_info.substr(0, colon));
    if (found.has_password) found.password = percent_decode(user_info.substr(colon + 1));
    return found;
}

std::string percent_encode(std::string_view text, std::string_view keep) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~' ||
            keep.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += HEX[byte >> 4];
            out += HEX[byte & 0x0F];
        }
    }
    return out;
}

std::string percent_decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace quorl
