// PEP 508 requirement lines as installed distributions declare them: the
// parser, the canonical text of markers and their evaluation.
#include "fuzz_support.h"
#include "pep/requirement.h"
#include "support/errors.h"

using namespace quorl;

namespace {

void check_marker(const Marker& marker) {
    static const MarkerValues environment = fuzz::linux_cpython_environment();
    const std::vector<std::string> extras = marker.extra_names();
    const bool plain = marker.evaluate(environment, "");
    const std::string canonical = marker.to_string();
    const Marker again = Marker::parse(canonical);
    FUZZ_CHECK(again.to_string() == canonical);
    FUZZ_CHECK(again.extra_names() == extras);
    FUZZ_CHECK(again.evaluate(environment, "") == plain);
    for (const std::string& extra : extras) {
        FUZZ_CHECK(again.evaluate(environment, extra) == marker.evaluate(environment, extra));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line = fuzz::as_text(data, size);
    std::optional<Requirement> requirement;
    try {
        requirement = parse_requirement(line);
    } catch (const ValueError&) {}
    const bool parsed = requirement.has_value();
    if (parsed) {
        FUZZ_CHECK(!requirement->name.empty());
        FUZZ_CHECK(requirement->url.empty() || requirement->specifier.empty());
        // Outside the try: a canonical text that does not read back is a finding.
        if (requirement->marker) check_marker(*requirement->marker);
    }
    // Read up to its marker (the environment reader's way), a valid line
    // gives the same requirement.
    const std::optional<RequirementHead> head = parse_requirement_head(line);
    FUZZ_CHECK(head.has_value() || !parsed);
    if (head && parsed) {
        FUZZ_CHECK(head->requirement.name == requirement->name && head->requirement.extras == requirement->extras);
        FUZZ_CHECK(head->requirement.specifier == requirement->specifier && head->requirement.url == requirement->url);
        FUZZ_CHECK(head->marker_text.has_value() == requirement->marker.has_value());
    }
    // The variant for installed distributions accepts exactly the same lines.
    try {
        parse_requirement_of(line, "dist", "/site-packages/dist-1.0.dist-info");
        FUZZ_CHECK(parsed);
    } catch (const ValueError&) {
        FUZZ_CHECK(!parsed);
    }
    return 0;
}
