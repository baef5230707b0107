// Pinned requirements files as the resolver writes them and people edit
// them: logical lines, the normal form of each entry, the pins read back and
// groups pinned with them.
#include "fuzz_support.h"
#include "resolution/requirement_generator.h"
#include "resolution/requirement_line.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryFile file;
    const std::string_view text = fuzz::as_text(data, size);
    const std::string& path = file.write(text);

    for (const RequirementLine& line : logical_requirement_lines(text)) {
        FUZZ_CHECK(line.line_number >= 1);
        try {
            const std::string normal = normalise_requirement(line.text);
            FUZZ_CHECK(normalise_requirement(normal) == normal);
        } catch (const ValueError&) {}
    }

    try {
        const VersionsMap versions = RequirementGenerator::read_requirements_versions(path);
        RequirementGroups groups;
        std::vector<std::string> everything;
        for (const auto& [name, version] : versions) everything.push_back(name);
        groups.set("all", everything);
        const PinnedGroups pinned = RequirementGenerator::generate_pinned_versions_groups(versions, groups);
        FUZZ_CHECK(pinned.find("all") != nullptr);
    } catch (const QuorlError&) {
        // Unpinned entries, option lines and the like are reported, not crashes.
    }
    return 0;
}
