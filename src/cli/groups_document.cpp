#include "cli/groups_document.h"

#include <algorithm>
#include <unordered_map>

#include "support/errors.h"
#include "support/printable.h"

namespace quorl::cli {

ReachedGroup reached_group(const std::string& name, const std::vector<Package>& roots, DependencyMap::SubMapView& view,
                           const InstalledRequirements& installed, const InstalledIndex& index) {
    ReachedGroup group{&name, &roots, {}};
    // Dependencies are named before they are visited: their places are
    // filled in once every package has one.
    std::unordered_map<const Package*, std::size_t> place;
    std::vector<std::vector<const Package*>> dependencies;
    view.for_each_reached([&](std::size_t depth, const Package& package, const std::vector<const Package*>& named) {
        place.emplace(&package, group.packages.size());
        const std::optional<std::size_t> found = index.find(package);
        const std::string* version = found && !installed[*found].version.empty() ? &installed[*found].version : nullptr;
        group.packages.push_back({&package, version, depth, {}});
        dependencies.push_back(named);
    });
    for (std::size_t i = 0; i < group.packages.size(); ++i) {
        for (const Package* dependency : dependencies[i])
            group.packages[i].dependencies.push_back(place.at(dependency));
    }
    return group;
}

std::unique_ptr<GroupsDocument> make_groups_document(GroupsFormat format, const std::filesystem::path& resolved_path) {
    switch (format) {
        case GroupsFormat::JSON:
            return make_json_document(resolved_path);
        case GroupsFormat::DOT:
            return make_dot_document();
        case GroupsFormat::MERMAID:
            return make_mermaid_document();
        case GroupsFormat::TEXT:
            break;
    }
    throw AssertionError();
}

std::string label_text(std::string_view text, std::initializer_list<LabelReplacement> replacements) {
    std::string escaped;
    append_escaped_controls(escaped, text);
    std::string out;
    for (const char c : escaped) {
        const LabelReplacement* found = std::find_if(replacements.begin(), replacements.end(),
                                                     [c](const LabelReplacement& r) { return r.character == c; });
        if (found == replacements.end()) {
            out += c;
        } else {
            out += found->text;
        }
    }
    return out;
}

}  // namespace quorl::cli
