// `groups --format json|dot|mermaid`: what each group reaches as one
// document for machines (JSON) or for drawing (Graphviz DOT, a Mermaid
// flowchart). The text format is the command's own listing and is not here.
// Each document holds every package a group reaches (the layered listing
// without repeats, whatever --depth says) with its installed version, its
// depth and its direct dependencies.
#pragma once

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "environment/installed_requirements.h"
#include "model/package.h"
#include "model/sub_map_view.h"
#include "support/output.h"

namespace quorl::cli {

// One package of a group, as the documents show it.
struct ReachedPackage {
    const Package* package;                 // valid while the environment's map is
    const std::string* version;             // nullptr when it is not installed
    std::size_t depth;                      // its layer in the listing
    std::vector<std::size_t> dependencies;  // indexes into the group's list, by text form
};

// One group: its name, its roots as written, and what it reaches in listing order.
struct ReachedGroup {
    const std::string* name;
    const std::vector<Package>* roots;
    std::vector<ReachedPackage> packages;
};

class GroupsDocument {
public:
    virtual ~GroupsDocument() = default;
    // start, then add for each group in order, then finish, all with the
    // same writer.
    virtual void start(StdoutWriter& out) = 0;
    virtual void add(const ReachedGroup& group, StdoutWriter& out) = 0;
    virtual void finish(StdoutWriter& out) = 0;
};

// The document of `format` (not TEXT). `resolved_path` names the resolved
// file in the JSON document.
std::unique_ptr<GroupsDocument> make_groups_document(GroupsFormat format, const std::filesystem::path& resolved_path);

// What `view` reaches, with the versions of `installed` (found by `index`).
ReachedGroup reached_group(const std::string& name, const std::vector<Package>& roots, DependencyMap::SubMapView& view,
                           const InstalledRequirements& installed, const InstalledIndex& index);

// `text` for a quoted label of DOT or Mermaid: control characters escaped
// as on every printed line, then each character that `replacements` names
// replaced by its text.
struct LabelReplacement {
    char character;
    std::string_view text;
};
std::string label_text(std::string_view text, std::initializer_list<LabelReplacement> replacements);

// The writers of each format (groups_json.cpp, groups_dot.cpp, groups_mermaid.cpp).
std::unique_ptr<GroupsDocument> make_json_document(const std::filesystem::path& resolved_path);
std::unique_ptr<GroupsDocument> make_dot_document();
std::unique_ptr<GroupsDocument> make_mermaid_document();

}  // namespace quorl::cli
