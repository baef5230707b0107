#include "pep/requirement.h"

#include "pep/scanner.h"
#include "pep/specifier.h"
#include "pep/version.h"
#include "support/errors.h"

namespace quorl {
namespace {

const SpecifierOperator* take_specifier_operator(Scanner& s) {
    // Most clauses end a name or a list: no operator to try there.
    if (std::string_view("=~!<>").find(s.peek()) == std::string_view::npos) return nullptr;
    for (const SpecifierOperator& known : SPECIFIER_OPERATORS) {
        if (s.take(known.text)) return &known;
    }
    return nullptr;
}

std::vector<std::string> parse_extras(Scanner& s) {
    std::vector<std::string> extras;
    const std::size_t open = s.position();
    if (!s.take('[')) return extras;
    s.skip_space();
    std::string_view extra = s.take_name();
    while (!extra.empty()) {
        extras.emplace_back(extra);
        s.skip_space();
        if (!s.take(',')) {
            if (!s.take_name().empty()) s.fail("Expected comma between extra names");
            break;
        }
        s.skip_space();
        extra = s.take_name();
        if (extra.empty()) s.fail("Expected extra name after comma");
    }
    s.skip_space();
    if (!s.take(']')) s.fail_at(open, "Expected matching right bracket for '['");
    return extras;
}

// One or more clauses "<op><version>" joined by commas, optionally in
// parentheses; nothing at all is a valid (empty) specifier.
std::string parse_specifier(Scanner& s) {
    const std::size_t open = s.position();
    const bool parenthesised = s.take('(');
    s.skip_space();
    std::string specifier;
    while (const SpecifierOperator* op = take_specifier_operator(s)) {
        s.skip_space();
        const std::size_t version_start = s.position();
        // A version ends at any white space, as in the standard's grammar;
        // only spaces and tabs may then stand before a comma.
        const std::string_view version = s.take_until_any(op->op ? std::string_view(" \t\n\r\v\f\x1c\x1d\x1e\x1f,;)")
                                                                 : std::string_view(" \t\n\r\v\f\x1c\x1d\x1e\x1f;)"));
        if (op->op ? !is_valid_specifier(*op->op, version) : version.empty()) {
            s.fail_at(version_start, "Expected a valid version after '" + std::string(op->text) + "'");
        }
        specifier += op->text;
        specifier += version;
        s.skip_space();
        if (!s.take(',')) break;
        s.skip_space();
        if (s.at_end() || s.peek() == ';' || s.peek() == ')') break;  // a trailing comma adds nothing
        specifier += ',';
    }
    s.skip_space();
    if (parenthesised && !s.take(')')) s.fail_at(open, "Expected matching right parenthesis for '('");
    return specifier;
}

// With `marker_text`, the marker is not parsed: its text goes there.
void parse_marker_part(Scanner& s, Requirement& requirement, std::optional<std::string_view>* marker_text) {
    if (!s.take(';')) s.fail("Expected end or semicolon");
    if (!marker_text) {
        requirement.marker = Marker::parse_rest(s);
        return;
    }
    *marker_text = s.text().substr(s.position());
}

// A "file:" URL, or a scheme followed by "://" and a host.
bool is_url(std::string_view url) {
    if (url.starts_with("file:")) return true;
    const std::size_t scheme_end = url.find("://");
    return scheme_end != std::string_view::npos && scheme_end > 0 && scheme_end + 3 < url.size() &&
           url[scheme_end + 3] != '/';
}

void parse_details(Scanner& s, Requirement& requirement, std::optional<std::string_view>* marker_text) {
    if (s.take('@')) {
        s.skip_space();
        requirement.url = std::string(s.take_until_any(" \t"));
        if (requirement.url.empty()) s.fail("Expected URL after @");
        if (!is_url(requirement.url)) s.fail("Invalid URL: " + requirement.url);
        // A ";" right after the URL belongs to the URL: a marker needs white space before it.
        if (s.at_end()) return;
        s.skip_space();
        if (s.at_end()) return;
        parse_marker_part(s, requirement, marker_text);
        return;
    }
    requirement.specifier = parse_specifier(s);
    s.skip_space();
    if (s.at_end()) return;
    parse_marker_part(s, requirement, marker_text);
}

Requirement parse(Scanner& s, std::optional<std::string_view>* marker_text = nullptr) {
    Requirement requirement;
    s.skip_space();
    requirement.name = std::string(s.take_name());
    if (requirement.name.empty()) s.fail("Expected package name at the start of dependency specifier");
    s.skip_space();
    requirement.extras = parse_extras(s);
    s.skip_space();
    parse_details(s, requirement, marker_text);
    return requirement;
}

}  // namespace

Requirement parse_requirement(std::string_view line) {
    Scanner scanner(line);
    try {
        return parse(scanner);
    } catch (const SyntaxFailure& failure) {
        throw ValueError(describe_syntax_failure("Invalid requirement", line, failure));
    }
}

std::optional<RequirementHead> parse_requirement_head(std::string_view line) {
    Scanner scanner(line);
    RequirementHead head;
    try {
        head.requirement = parse(scanner, &head.marker_text);
    } catch (const SyntaxFailure&) {
        return std::nullopt;
    }
    return head;
}

Requirement parse_requirement_of(std::string_view line, std::string_view distribution, std::string_view location) {
    Scanner scanner(line);
    try {
        return parse(scanner);
    } catch (const SyntaxFailure& failure) {
        const std::string where = "of distribution " + std::string(distribution) + " (" + std::string(location) + ")";
        throw ValueError("Invalid requirement '" + std::string(line) + "' " + where + ": " + failure.expected +
                         " at position " + std::to_string(failure.position));
    }
}

}  // namespace quorl
