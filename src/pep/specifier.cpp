#include "pep/specifier.h"

#include "support/errors.h"
#include "support/text.h"

namespace quorl {
SpecifierSet SpecifierSet::parse(std::string_view text) {
    SpecifierSet set;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view clause = text::strip(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (clause.empty()) continue;
        const SpecifierOperator* found = nullptr;
        for (const SpecifierOperator& known : SPECIFIER_OPERATORS) {
            if (clause.starts_with(known.text)) {
                found = &known;
                break;
            }
        }
        const std::string_view version = found ? text::strip(clause.substr(found->text.size())) : std::string_view();
        Clause parsed;
        if (found && found->op) {
            parsed.ordered = parse_version_clause(*found->op, version);
        } else if (found) {
            parsed.arbitrary = std::string(version);
        }
        if (!parsed.ordered && parsed.arbitrary.empty()) {
            throw ValueError("Invalid version specifier '" + std::string(clause) + "'");
        }
        set.clauses_.push_back(std::move(parsed));
    }
    return set;
}

bool SpecifierSet::contains(const Version& version) const {
    for (const Clause& clause : clauses_) {
        const bool holds = clause.ordered ? version_satisfies(version, *clause.ordered)
                                          : text::equals_ignoring_case(normal_form(version), clause.arbitrary);
        if (!holds) return false;
    }
    return true;
}

bool SpecifierSet::contains(std::string_view version) const {
    if (const std::optional<Version> parsed = parse_version(version)) return contains(*parsed);
    for (const Clause& clause : clauses_) {
        if (clause.ordered || !text::equals_ignoring_case(text::strip(version), clause.arbitrary)) return false;
    }
    return true;
}

}  // namespace quorl
