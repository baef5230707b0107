#include "pep/requirement_shortcut.h"

#include <array>

#include "pep/scanner.h"
#include "pep/specifier.h"
#include "pep/version.h"
#include "support/text.h"

namespace quorl {
namespace {

// "[a,b]" right after the name.
bool take_plain_extras(Scanner& s, std::vector<std::string>& extras) {
    if (!s.take('[')) return true;
    while (true) {
        const std::string_view extra = s.take_name();
        if (extra.empty()) return false;
        extras.emplace_back(extra);
        if (s.take(']')) return true;
        if (!s.take(',')) return false;
    }
}

// The entry of SPECIFIER_OPERATORS spelled `spelling`.
constexpr const SpecifierOperator* spelled(std::string_view spelling) {
    for (const SpecifierOperator& known : SPECIFIER_OPERATORS) {
        if (known.text == spelling) return &known;
    }
    return nullptr;
}

// The spelling of SPECIFIER_OPERATORS that `text` starts with, longest
// first; nothing for none.
const SpecifierOperator* operator_at(std::string_view text) {
    static constexpr const SpecifierOperator* ARBITRARY = spelled("===");
    static constexpr const SpecifierOperator* EQUAL = spelled("==");
    static constexpr const SpecifierOperator* COMPATIBLE = spelled("~=");
    static constexpr const SpecifierOperator* NOT_EQUAL = spelled("!=");
    static constexpr const SpecifierOperator* LESS_EQUAL = spelled("<=");
    static constexpr const SpecifierOperator* GREATER_EQUAL = spelled(">=");
    static constexpr const SpecifierOperator* LESS = spelled("<");
    static constexpr const SpecifierOperator* GREATER = spelled(">");
    const char second = text.size() > 1 ? text[1] : '\0';
    switch (text.empty() ? '\0' : text[0]) {
        case '=':
            return second != '=' ? nullptr : text.size() > 2 && text[2] == '=' ? ARBITRARY : EQUAL;
        case '~':
            return second == '=' ? COMPATIBLE : nullptr;
        case '!':
            return second == '=' ? NOT_EQUAL : nullptr;
        case '<':
            return second == '=' ? LESS_EQUAL : LESS;
        case '>':
            return second == '=' ? GREATER_EQUAL : GREATER;
        default:
            return nullptr;
    }
}

// The operator at the cursor, chosen by its first characters: trying every
// spelling in turn cost more than the rest of a common line.
const SpecifierOperator* take_operator(Scanner& s) {
    const SpecifierOperator* found = operator_at(s.text().substr(s.position()));
    if (found != nullptr) s.reset(s.position() + found->text.size());
    return found;
}

// Where the general parser ends a version: at white space, a comma, a
// semicolon or a closing parenthesis. A table: the test runs at every
// character of every version.
constexpr std::array<bool, 256> version_ends() {
    std::array<bool, 256> table{};
    for (const unsigned char c : std::string_view(" ,;)\t\n\v\f\r\x1c\x1d\x1e\x1f")) table[c] = true;
    return table;
}

constexpr std::array<bool, 256> VERSION_ENDS = version_ends();

bool ends_version(char c) { return VERSION_ENDS[static_cast<unsigned char>(c)]; }

// One "<op> <version>" clause; the operator must be there.
bool take_plain_clause(Scanner& s, std::string& specifier) {
    const std::size_t operator_start = s.position();
    const SpecifierOperator* found = take_operator(s);
    if (found == nullptr || !found->op) return false;
    const std::size_t operator_end = s.position();
    s.skip_space();
    const std::size_t start = s.position();
    std::size_t end = start;
    while (end < s.text().size() && !ends_version(s.text()[end])) ++end;
    const std::string_view version = s.text().substr(start, end - start);
    const std::size_t minimum_numbers = *found->op == VersionOperator::Compatible ? 2 : 1;
    if (plain_release_numbers(version) < minimum_numbers) return false;
    s.reset(end);
    if (start == operator_end) {
        // Written without a space, "<op><version>" is the specifier as it stands.
        specifier.assign(s.text().substr(operator_start, end - operator_start));
    } else {
        specifier.reserve(found->text.size() + version.size());
        specifier += found->text;
        specifier += version;
    }
    s.skip_space();
    return s.peek() != ',';  // several clauses: the general parser joins them
}

bool take_plain_specifier(Scanner& s, std::string& specifier) {
    if (s.take('(')) {
        s.skip_space();
        if (!take_plain_clause(s, specifier)) return false;
        return s.take(')');
    }
    if (std::string_view("=~!<>").find(s.peek()) == std::string_view::npos) return true;
    return take_plain_clause(s, specifier);
}

}  // namespace

std::optional<CommonRequirementHead> split_common_requirement(std::string_view line) {
    Scanner s(line);
    CommonRequirementHead head;
    head.name = s.take_name();
    if (head.name.empty()) return std::nullopt;
    if (!take_plain_extras(s, head.extras)) return std::nullopt;
    s.skip_space();
    if (!take_plain_specifier(s, head.specifier)) return std::nullopt;
    s.skip_space();
    if (s.at_end()) return head;
    if (!s.take(';')) return std::nullopt;
    head.marker_text = line.substr(s.position());
    return head;
}

std::optional<Requirement> parse_common_requirement(std::string_view line) {
    std::optional<CommonRequirementHead> head = split_common_requirement(line);
    if (!head) return std::nullopt;
    Requirement requirement;
    if (head->marker_text) {
        Scanner marker(*head->marker_text);
        try {
            requirement.marker = Marker::parse_rest(marker);
        } catch (const SyntaxFailure&) {
            return std::nullopt;  // the general parser words the error
        }
    }
    requirement.name = std::string(head->name);
    requirement.extras = std::move(head->extras);
    requirement.specifier = std::move(head->specifier);
    return requirement;
}

}  // namespace quorl
