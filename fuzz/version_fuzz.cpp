// PEP 440 versions and specifier clauses, as marker evaluation uses them.
// The input is NUL-separated: a version, then a clause's version text.
#include "fuzz_support.h"
#include "pep/version.h"

using namespace quorl;

namespace {

constexpr VersionOperator OPERATORS[] = {
    VersionOperator::Equal, VersionOperator::NotEqual, VersionOperator::LessEqual,  VersionOperator::GreaterEqual,
    VersionOperator::Less,  VersionOperator::Greater,  VersionOperator::Compatible,
};

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> fields = fuzz::split_fields(fuzz::as_text(data, size));
    const std::optional<Version> a = parse_version(fields[0]);
    const std::string_view spec = fields.size() > 1 ? fields[1] : fields[0];
    const std::optional<Version> b = parse_version(spec);
    if (a) {
        FUZZ_CHECK(!a->release.empty());
        FUZZ_CHECK(compare_versions(*a, *a) == 0);
        FUZZ_CHECK(compare_versions(a->public_version(), a->base_version()) >= 0 || a->is_prerelease());
    }
    if (a && b) {
        FUZZ_CHECK(sign(compare_versions(*a, *b)) == -sign(compare_versions(*b, *a)));
    }
    if (!a) return 0;
    for (const VersionOperator op : OPERATORS) {
        const std::optional<bool> result = version_satisfies(*a, op, spec);
        FUZZ_CHECK(result.has_value() == is_valid_specifier(op, spec));
    }
    // Plain clauses (no prefix match, no local label) agree with the order
    // of public versions.
    if (b && b->local.empty() && spec.find('*') == std::string_view::npos) {
        const int order = compare_versions(a->public_version(), *b);
        if (const std::optional<bool> equal = version_satisfies(*a, VersionOperator::Equal, spec)) {
            FUZZ_CHECK(*equal == (order == 0));
        }
        if (const std::optional<bool> at_most = version_satisfies(*a, VersionOperator::LessEqual, spec)) {
            FUZZ_CHECK(*at_most == (order <= 0));
        }
        if (const std::optional<bool> at_least = version_satisfies(*a, VersionOperator::GreaterEqual, spec)) {
            FUZZ_CHECK(*at_least == (order >= 0));
        }
    }
    return 0;
}
