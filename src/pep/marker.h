// PEP 508 environment markers: parsing into a small tree, the canonical text
// ("python_version < \"3.8\" and extra == \"test\""), and evaluation against
// the marker environment of an interpreter plus the value of `extra`.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

enum class MarkerVariable {
    ImplementationName,
    ImplementationVersion,
    OsName,
    PlatformMachine,
    PlatformPythonImplementation,
    PlatformRelease,
    PlatformSystem,
    PlatformVersion,
    PythonFullVersion,
    PythonVersion,
    SysPlatform,
    Extra,
};

// The marker name as canonical text prints it ("python_version").
std::string_view marker_variable_name(MarkerVariable variable);

// The values of the marker variables in one interpreter (all but `extra`,
// which each evaluation supplies).
class MarkerValues {
public:
    static constexpr std::size_t SIZE = static_cast<std::size_t>(MarkerVariable::Extra);

    const std::string& get(MarkerVariable variable) const { return values_[index(variable)]; }
    void set(MarkerVariable variable, std::string value) { values_[index(variable)] = std::move(value); }

private:
    // The slot of `extra` stays empty: evaluations supply that value.
    static std::size_t index(MarkerVariable variable) { return static_cast<std::size_t>(variable); }
    std::array<std::string, SIZE + 1> values_;
};

enum class MarkerOperator { Equal, NotEqual, LessEqual, GreaterEqual, Less, Greater, Compatible, Arbitrary, In, NotIn };

std::string_view marker_operator_text(MarkerOperator op);

// One side of a comparison: a variable, or a literal string (without quotes).
struct MarkerValue {
    bool is_variable = false;
    MarkerVariable variable = MarkerVariable::Extra;
    std::string literal;
};

struct MarkerComparison {
    MarkerValue left;
    MarkerOperator op = MarkerOperator::Equal;
    MarkerValue right;
};

// A node is a comparison, or a group of nodes joined by "and"/"or" (written
// in parentheses, or the whole marker). "and" binds tighter than "or".
struct MarkerNode {
    bool is_group = false;
    MarkerComparison comparison;     // when !is_group
    std::vector<MarkerNode> items;   // when is_group; never empty
    std::vector<bool> joined_by_or;  // items.size() - 1 joiners; false means "and"
};

class Scanner;

class Marker {
public:
    // Parses the text after ";" of a requirement. Throws ValueError naming
    // what was expected and where, for example
    // "Expected a marker variable or quoted string at position 0 of 'pyton_version < \"3\"'".
    static Marker parse(std::string_view text);

    // Parses a marker from the scanner's position to the end of its text
    // (the requirement parser's entry). Throws SyntaxFailure.
    static Marker parse_rest(Scanner& scanner);

    // Canonical text: single spaces between tokens, values in double quotes
    // (single quotes for a value that holds a double quote),
    // legacy names ("os.name") replaced by current ones, parentheses only
    // where a group sits inside another.
    std::string to_string() const;

    // True when the marker holds in `environment` with `extra` set to the
    // given value. Comparisons use PEP 440 version rules when both sides are
    // valid versions for the operator, plain string comparison otherwise;
    // values of `extra` compare by canonical name. A comparison that is
    // defined neither way ("~=" between non-versions) is false.
    bool evaluate(const MarkerValues& environment, std::string_view extra) const;

    // The extras named in comparisons `extra == "X"` or `"X" == extra`,
    // anywhere in the marker, in order of appearance, without repeats.
    std::vector<std::string> extra_names() const;

private:
    explicit Marker(MarkerNode root) : root_(std::move(root)) {}
    MarkerNode root_;
};

}  // namespace quorl
