#include "resolution/requirement_line.h"

#include <cctype>

#include "support/errors.h"
#include "support/text.h"

namespace quorl {
namespace {

bool is_alnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// A cursor over one line; every `take_*` returns the empty view on no match
// and leaves the position unchanged then.
struct Cursor {
    std::string_view s;
    std::size_t pos = 0;

    bool at_end() const { return pos >= s.size(); }
    char peek() const { return at_end() ? '\0' : s[pos]; }
    void skip_spaces() {
        while (!at_end() && text::is_space(s[pos])) ++pos;
    }
    bool take(char c) {
        if (peek() != c) return false;
        ++pos;
        return true;
    }
    // PEP 508 name or extra: letters and digits, with ".", "-", "_" inside.
    std::string_view take_identifier() {
        if (!is_alnum(peek())) return {};
        std::size_t end = pos + 1;
        while (end < s.size() && (is_alnum(s[end]) || s[end] == '.' || s[end] == '-' || s[end] == '_')) ++end;
        while (!is_alnum(s[end - 1])) --end;
        std::string_view id = s.substr(pos, end - pos);
        pos = end;
        return id;
    }
    std::string_view take_operator() {
        for (std::string_view op : {"===", "==", "!=", "<=", ">=", "~=", "<", ">"}) {
            if (s.substr(pos, op.size()) == op) {
                pos += op.size();
                return op;
            }
        }
        return {};
    }
    // A version: "===" accepts any text up to a separator, the others the
    // characters of PEP 440 versions (with "*" for prefix matching).
    std::string_view take_version(std::string_view op) {
        std::size_t end = pos;
        auto accepted = [op](char c) {
            if (op == "===") return !text::is_space(c) && c != ',' && c != ';' && c != ')';
            return is_alnum(c) || c == '.' || c == '*' || c == '+' || c == '!' || c == '-' || c == '_';
        };
        while (end < s.size() && accepted(s[end])) ++end;
        std::string_view version = s.substr(pos, end - pos);
        pos = end;
        return version;
    }
};

[[noreturn]] void invalid(std::string_view line, std::string_view problem) {
    throw ValueError("Invalid requirement '" + std::string(line) + "': " + std::string(problem));
}

std::string take_extras(Cursor& c, std::string_view line) {
    if (!c.take('[')) return "";
    std::vector<std::string> extras;
    c.skip_spaces();
    while (!c.take(']')) {
        if (!extras.empty() && !c.take(',')) invalid(line, "expected ',' or ']' in the extras");
        c.skip_spaces();
        std::string_view extra = c.take_identifier();
        if (extra.empty()) invalid(line, "expected an extra name");
        extras.emplace_back(extra);
        c.skip_spaces();
    }
    if (extras.empty()) return "";
    std::string rendered = "[";
    rendered += text::join(extras, ",");
    rendered += ']';
    return rendered;
}

std::string take_version_clauses(Cursor& c, std::string_view line) {
    const bool parenthesised = c.take('(');
    c.skip_spaces();
    std::vector<std::string> clauses;
    while (true) {
        std::string_view op = c.take_operator();
        if (op.empty()) {
            if (clauses.empty() && !parenthesised) return "";
            invalid(line, "expected a version operator");
        }
        c.skip_spaces();
        std::string_view version = c.take_version(op);
        if (version.empty()) invalid(line, "expected a version after '" + std::string(op) + "'");
        std::string clause(op);
        clause += version;
        clauses.push_back(std::move(clause));
        c.skip_spaces();
        if (!c.take(',')) break;
        c.skip_spaces();
    }
    if (parenthesised && !c.take(')')) invalid(line, "expected ')'");
    return text::join(clauses, ",");
}

std::string take_url(Cursor& c, std::string_view line) {
    c.skip_spaces();
    const std::size_t start = c.pos;
    while (!c.at_end() && !text::is_space(c.peek())) ++c.pos;
    std::string_view url = c.s.substr(start, c.pos - start);
    if (url.find("://") == std::string_view::npos && !text::starts_with(url, "file:")) {
        invalid(line, "expected a URL after '@'");
    }
    // A ";" right after the URL would belong to it; a marker needs a space.
    std::string rendered = " @ ";
    rendered += url;
    return rendered;
}

}  // namespace

std::vector<RequirementLine> logical_requirement_lines(std::string_view content) {
    std::vector<RequirementLine> lines;
    bool continuing = false;
    std::size_t number = 0;
    for (const std::string& physical : text::split_lines(content)) {
        ++number;
        std::string_view raw = text::strip(physical);
        if (raw.empty() || raw.front() == '#') continue;
        raw = text::rstrip(raw.substr(0, raw.find(" #")));
        const bool continues = text::ends_with(raw, "\\");
        if (continues) raw = text::rstrip(raw.substr(0, raw.size() - 1));
        if (continuing) {
            lines.back().text += raw;
        } else {
            lines.push_back({std::string(raw), number});
        }
        continuing = continues;
    }
    return lines;
}

std::string normalise_requirement(std::string_view line) {
    Cursor c{text::strip(line)};
    std::string_view name = c.take_identifier();
    if (name.empty()) invalid(line, "expected a package name");
    c.skip_spaces();
    std::string result(name);
    result += take_extras(c, line);
    c.skip_spaces();
    if (c.take('@')) {
        result += take_url(c, line);
    } else {
        result += take_version_clauses(c, line);
    }
    c.skip_spaces();
    if (c.take(';')) {
        std::string_view marker = text::strip(c.s.substr(c.pos));
        if (marker.empty()) invalid(line, "expected a marker after ';'");
        result += "; ";
        result += marker;
        c.pos = c.s.size();
    }
    if (!c.at_end()) invalid(line, "unexpected text '" + std::string(c.s.substr(c.pos)) + "'");
    return result;
}

}  // namespace quorl
