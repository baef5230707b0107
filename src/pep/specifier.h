// PEP 440 version specifiers ("~=1.4,!=1.4.2", "===1.0-legacy") as an
// installed environment is judged against them: a requirement holds when the
// installed version satisfies every clause, pre-releases admitted (an
// installed 2.0rc1 satisfies ">=1.0"; the clause rules of version.h apply).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/version.h"

namespace quorl {

struct SpecifierOperator {
    std::string_view text;
    std::optional<VersionOperator> op;  // absent for "===", which compares text
};

// Longest first, so that "===" is not read as "==" and "<=" not as "<".
inline constexpr SpecifierOperator SPECIFIER_OPERATORS[] = {
    {"===", std::nullopt},
    {"==", VersionOperator::Equal},
    {"~=", VersionOperator::Compatible},
    {"!=", VersionOperator::NotEqual},
    {"<=", VersionOperator::LessEqual},
    {">=", VersionOperator::GreaterEqual},
    {"<", VersionOperator::Less},
    {">", VersionOperator::Greater},
};

class SpecifierSet {
public:
    // The empty set: every version satisfies it.
    SpecifierSet() = default;

    // Parses comma-separated clauses, white space around each allowed (the
    // specifier text of a parsed requirement, or a table's entry). Empty
    // clauses are skipped. Throws ValueError naming the clause that is not a
    // valid PEP 440 clause.
    static SpecifierSet parse(std::string_view text);

    // Whether the installed version written `version` satisfies every clause.
    // "===" compares the version's normal form, ignoring letter case. A text
    // that is not a PEP 440 version satisfies only "===" clauses of the same
    // text: no ordering is defined for it.
    bool contains(std::string_view version) const;
    bool contains(const Version& version) const;

    bool empty() const { return clauses_.empty(); }

private:
    struct Clause {
        std::optional<VersionClause> ordered;  // absent for "==="
        std::string arbitrary;                 // the text after "==="
    };
    std::vector<Clause> clauses_;
};

}  // namespace quorl
