// Exclude files: one requirement string per line, read from a path, then
// removed from an environment map before groups are computed (as `groups`
// and `release` do).
#include "fuzz_support.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "support/errors.h"

using namespace quorl;

namespace {

const DependencyMap& environment() {
    static const DependencyMap map = DependencyMap::from_string_mapping({
        {"app", {"lib", "six"}},
        {"app[test]", {"pytest"}},
        {"lib", {"six", "cycle-a"}},
        {"six", {}},
        {"pytest", {"pluggy", "six"}},
        {"pluggy", {}},
        {"cycle-a", {"cycle-b"}},
        {"cycle-b", {"cycle-a"}},
    });
    return map;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryFile file;
    std::vector<std::string> excluded;
    try {
        excluded = GroupGenerator::parse_exclude_txt(file.write(fuzz::as_text(data, size)));
    } catch (const ValueError&) {
        return 0;  // not UTF-8, or a line that is no requirement string
    }
    for (const std::string& name : excluded) FUZZ_CHECK(name.find('\n') == std::string::npos);

    DependencyMap map = environment();
    std::vector<std::string> usable;
    for (const std::string& name : excluded) {
        try {
            map.remove_package(Package::from_string(name));
            usable.push_back(name);
        } catch (const ValueError&) {}
    }
    const GroupInput group("resolved.txt", "all", {"app[test]", "lib"});
    const GroupOutput output = GroupGenerator::generate_group(environment(), group, usable);
    for (const std::string& name : usable) {
        const Package removed = Package::from_string(name);
        if (!removed.has_extras()) {
            for (const std::string& requirement : output.reqs.items()) {
                FUZZ_CHECK(Package::from_string(requirement).name() != removed.name());
            }
        }
    }
    const DependencyMap reached = map.extract_from_roots({Package::from_string("app[test]")});
    reached.packages_by_depth();
    try {
        reached.to_string(true);
    } catch (const ValueError&) {
        // Everything left may be a cycle.
    }
    return 0;
}
