#include "pep/marker.h"

#include <algorithm>
#include <optional>

#include "pep/canonical_name.h"
#include "pep/scanner.h"
#include "pep/version.h"
#include "support/errors.h"
#include "support/text.h"

namespace quorl {
namespace {

struct VariableSpelling {
    std::string_view spelling;
    MarkerVariable variable;
};

// Current names and the legacy dotted spellings still found in old metadata.
constexpr VariableSpelling VARIABLE_SPELLINGS[] = {
    {"implementation_name", MarkerVariable::ImplementationName},
    {"implementation_version", MarkerVariable::ImplementationVersion},
    {"os_name", MarkerVariable::OsName},
    {"os.name", MarkerVariable::OsName},
    {"platform_machine", MarkerVariable::PlatformMachine},
    {"platform.machine", MarkerVariable::PlatformMachine},
    {"platform_python_implementation", MarkerVariable::PlatformPythonImplementation},
    {"platform.python_implementation", MarkerVariable::PlatformPythonImplementation},
    {"python_implementation", MarkerVariable::PlatformPythonImplementation},
    {"platform_release", MarkerVariable::PlatformRelease},
    {"platform_system", MarkerVariable::PlatformSystem},
    {"platform_version", MarkerVariable::PlatformVersion},
    {"platform.version", MarkerVariable::PlatformVersion},
    {"python_full_version", MarkerVariable::PythonFullVersion},
    {"python_version", MarkerVariable::PythonVersion},
    {"sys_platform", MarkerVariable::SysPlatform},
    {"sys.platform", MarkerVariable::SysPlatform},
    {"extra", MarkerVariable::Extra},
};

struct OperatorSpelling {
    std::string_view text;
    MarkerOperator op;
};

// Longest first, so "===" is not read as "==" followed by "=".
constexpr OperatorSpelling SYMBOL_OPERATORS[] = {
    {"===", MarkerOperator::Arbitrary}, {"==", MarkerOperator::Equal},     {"~=", MarkerOperator::Compatible},
    {"!=", MarkerOperator::NotEqual},   {"<=", MarkerOperator::LessEqual}, {">=", MarkerOperator::GreaterEqual},
    {"<", MarkerOperator::Less},        {">", MarkerOperator::Greater},
};

class MarkerParser {
public:
    explicit MarkerParser(Scanner& scanner) : s_(scanner) {}

    MarkerNode parse_group() {
        MarkerNode group;
        group.is_group = true;
        group.items.push_back(parse_atom());
        while (true) {
            if (s_.take_keyword("and")) {
                group.joined_by_or.push_back(false);
            } else if (s_.take_keyword("or")) {
                group.joined_by_or.push_back(true);
            } else {
                return group;
            }
            group.items.push_back(parse_atom());
        }
    }

private:
    MarkerNode parse_atom() {
        s_.skip_space();
        MarkerNode node;
        if (s_.peek() == '(') {
            // Nesting is bounded so that hostile metadata cannot exhaust the stack.
            if (++depth_ > MAX_NESTING) s_.fail("Expected at most 100 nested parentheses");
            s_.take('(');
            s_.skip_space();
            node = parse_group();
            --depth_;
            s_.skip_space();
            if (!s_.take(')')) s_.fail("Expected matching right parenthesis for marker group");
        } else {
            node.comparison = parse_comparison();
        }
        s_.skip_space();
        return node;
    }

    MarkerComparison parse_comparison() {
        MarkerComparison comparison;
        comparison.left = parse_value();
        s_.skip_space();
        comparison.op = parse_operator();
        s_.skip_space();
        comparison.right = parse_value();
        return comparison;
    }

    MarkerValue parse_value() {
        MarkerValue value;
        const char quote = s_.peek();
        if (quote == '"' || quote == '\'') {
            const std::size_t start = s_.position();
            s_.take(quote);
            value.literal = std::string(s_.take_until_any(std::string_view(&quote, 1)));
            if (!s_.take(quote)) s_.fail_at(start, "Expected a closing quote for the string");
            return value;
        }
        const std::size_t start = s_.position();
        const std::string_view word = s_.take_word();
        for (const VariableSpelling& known : VARIABLE_SPELLINGS) {
            if (known.spelling == word) {
                value.is_variable = true;
                value.variable = known.variable;
                return value;
            }
        }
        s_.fail_at(start, "Expected a marker variable or quoted string");
    }

    MarkerOperator parse_operator() {
        if (s_.take_keyword("in")) return MarkerOperator::In;
        if (s_.take_keyword("not")) {
            s_.skip_space();
            if (!s_.take_keyword("in")) s_.fail("Expected 'in' after 'not'");
            return MarkerOperator::NotIn;
        }
        for (const OperatorSpelling& known : SYMBOL_OPERATORS) {
            if (s_.take(known.text)) return known.op;
        }
        s_.fail("Expected marker operator, one of <=, <, !=, ==, >=, >, ~=, ===, in, not in");
    }

    static constexpr int MAX_NESTING = 100;
    Scanner& s_;
    int depth_ = 0;
};

std::string format_value(const MarkerValue& value) {
    if (value.is_variable) return std::string(marker_variable_name(value.variable));
    // A value holding a double quote can only have been written in single quotes.
    const char quote = value.literal.find('"') == std::string::npos ? '"' : '\'';
    return quote + value.literal + quote;
}

void format_node(const MarkerNode& node, bool top, std::string& out) {
    if (!node.is_group) {
        out += format_value(node.comparison.left);
        out += ' ';
        out += marker_operator_text(node.comparison.op);
        out += ' ';
        out += format_value(node.comparison.right);
        return;
    }
    // A group of one item adds nothing but parentheses.
    if (node.items.size() == 1) return format_node(node.items.front(), top, out);
    if (!top) out += '(';
    for (std::size_t i = 0; i < node.items.size(); ++i) {
        if (i > 0) out += node.joined_by_or[i - 1] ? " or " : " and ";
        format_node(node.items[i], false, out);
    }
    if (!top) out += ')';
}

std::optional<VersionOperator> as_version_operator(MarkerOperator op) {
    switch (op) {
        case MarkerOperator::Equal:
            return VersionOperator::Equal;
        case MarkerOperator::NotEqual:
            return VersionOperator::NotEqual;
        case MarkerOperator::LessEqual:
            return VersionOperator::LessEqual;
        case MarkerOperator::GreaterEqual:
            return VersionOperator::GreaterEqual;
        case MarkerOperator::Less:
            return VersionOperator::Less;
        case MarkerOperator::Greater:
            return VersionOperator::Greater;
        case MarkerOperator::Compatible:
            return VersionOperator::Compatible;
        default:
            return std::nullopt;
    }
}

bool compare_strings(std::string_view lhs, MarkerOperator op, std::string_view rhs) {
    switch (op) {
        case MarkerOperator::Equal:
            return lhs == rhs;
        case MarkerOperator::NotEqual:
            return lhs != rhs;
        case MarkerOperator::LessEqual:
            return lhs <= rhs;
        case MarkerOperator::GreaterEqual:
            return lhs >= rhs;
        case MarkerOperator::Less:
            return lhs < rhs;
        case MarkerOperator::Greater:
            return lhs > rhs;
        case MarkerOperator::In:
            return rhs.find(lhs) != std::string_view::npos;
        case MarkerOperator::NotIn:
            return rhs.find(lhs) == std::string_view::npos;
        case MarkerOperator::Arbitrary:
            return text::to_lower_ascii(lhs) == text::to_lower_ascii(rhs);
        case MarkerOperator::Compatible:
            return false;  // defined for versions only
    }
    return false;
}

bool compare_values(std::string_view lhs, MarkerOperator op, std::string_view rhs) {
    // Compared as versions when the left side is a version and the right a
    // valid clause (version_satisfies says which); as text otherwise.
    if (const std::optional<VersionOperator> version_op = as_version_operator(op)) {
        if (const std::optional<Version> version = parse_version(lhs)) {
            if (const std::optional<bool> holds = version_satisfies(*version, *version_op, rhs)) return *holds;
        }
    }
    return compare_strings(lhs, op, rhs);
}

bool is_extra(const MarkerValue& value) { return value.is_variable && value.variable == MarkerVariable::Extra; }

class Evaluator {
public:
    Evaluator(const MarkerValues& environment, std::string_view extra) : environment_(environment), extra_(extra) {}

    bool evaluate(const MarkerNode& node) const {
        if (!node.is_group) return evaluate(node.comparison);
        // "and" binds tighter: the group holds when one "or"-separated run of
        // "and"-joined items holds entirely.
        bool run_holds = evaluate(node.items.front());
        for (std::size_t i = 1; i < node.items.size(); ++i) {
            if (node.joined_by_or[i - 1]) {
                if (run_holds) return true;
                run_holds = evaluate(node.items[i]);
            } else if (run_holds) {
                run_holds = evaluate(node.items[i]);
            }
        }
        return run_holds;
    }

private:
    bool evaluate(const MarkerComparison& comparison) const {
        if (is_extra(comparison.left) || is_extra(comparison.right)) {
            return compare_values(canonical_name(value(comparison.left)), comparison.op,
                                  canonical_name(value(comparison.right)));
        }
        return compare_values(value(comparison.left), comparison.op, value(comparison.right));
    }

    std::string_view value(const MarkerValue& value) const {
        if (!value.is_variable) return value.literal;
        if (value.variable == MarkerVariable::Extra) return extra_;
        return environment_.get(value.variable);
    }

    const MarkerValues& environment_;
    std::string_view extra_;
};

void collect_extra_names(const MarkerNode& node, std::vector<std::string>& names) {
    if (node.is_group) {
        for (const MarkerNode& item : node.items) collect_extra_names(item, names);
        return;
    }
    const MarkerComparison& c = node.comparison;
    if (c.op != MarkerOperator::Equal) return;
    const MarkerValue* literal = nullptr;
    if (is_extra(c.left) && !c.right.is_variable) literal = &c.right;
    if (is_extra(c.right) && !c.left.is_variable) literal = &c.left;
    if (literal == nullptr) return;
    if (std::find(names.begin(), names.end(), literal->literal) == names.end()) names.push_back(literal->literal);
}

}  // namespace

std::string_view marker_variable_name(MarkerVariable variable) {
    for (const VariableSpelling& known : VARIABLE_SPELLINGS) {
        // The first spelling of each variable in the table is its current name.
        if (known.variable == variable) return known.spelling;
    }
    return {};
}

std::string_view marker_operator_text(MarkerOperator op) {
    switch (op) {
        case MarkerOperator::In:
            return "in";
        case MarkerOperator::NotIn:
            return "not in";
        default:
            break;
    }
    for (const OperatorSpelling& known : SYMBOL_OPERATORS) {
        if (known.op == op) return known.text;
    }
    return {};
}

Marker Marker::parse_rest(Scanner& scanner) {
    MarkerNode root = MarkerParser(scanner).parse_group();
    scanner.skip_space();
    if (!scanner.at_end()) scanner.fail("Expected end of marker (a boolean operator 'and' or 'or')");
    return Marker(std::move(root));
}

Marker Marker::parse(std::string_view text) {
    Scanner scanner(text);
    try {
        return parse_rest(scanner);
    } catch (const SyntaxFailure& failure) {
        throw ValueError(describe_syntax_failure("Invalid marker", text, failure));
    }
}

std::string Marker::to_string() const {
    std::string out;
    format_node(root_, true, out);
    return out;
}

bool Marker::evaluate(const MarkerValues& environment, std::string_view extra) const {
    return Evaluator(environment, extra).evaluate(root_);
}

std::vector<std::string> Marker::extra_names() const {
    std::vector<std::string> names;
    collect_extra_names(root_, names);
    return names;
}

}  // namespace quorl
