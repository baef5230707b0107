#include "python/specifier.h"

#include "support/errors.h"
#include "support/text.h"

namespace quorl {
SpecifierSet SpecifierSet::parse(std::string_view text) {
    SpecifierSet set;
    for (const std::string& piece : text::split(text, ",")) {
        const std::string_view clause = text::strip(piece);
        if (clause.empty()) continue;
        const SpecifierOperator* found = nullptr;
        for (const SpecifierOperator& known : SPECIFIER_OPERATORS) {
            if (clause.starts_with(known.text)) {
                found = &known;
                break;
            }
        }
        const std::string_view version = found ? text::strip(clause.substr(found->text.size())) : std::string_view();
        const bool valid = found && (found->op ? is_valid_specifier(*found->op, version) : !version.empty());
        if (!valid) throw ValueError("Invalid version specifier '" + std::string(clause) + "'");
        set.clauses_.push_back({found->op, std::string(version)});
    }
    return set;
}

bool SpecifierSet::contains(const Version& version) const {
    for (const Clause& clause : clauses_) {
        const bool holds = clause.op ? version_satisfies(version, *clause.op, clause.version).value_or(false)
                                     : text::equals_ignoring_case(normal_form(version), clause.version);
        if (!holds) return false;
    }
    return true;
}

bool SpecifierSet::contains(std::string_view version) const {
    if (const std::optional<Version> parsed = parse_version(version)) return contains(*parsed);
    for (const Clause& clause : clauses_) {
        if (clause.op || !text::equals_ignoring_case(text::strip(version), clause.version)) return false;
    }
    return true;
}

}  // namespace quorl
