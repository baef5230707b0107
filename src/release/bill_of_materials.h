// Software bills of materials: one CycloneDX 1.6 JSON document per group,
// listing the distributions the group ships (extras folded into their
// distribution) with their pinned versions, licences and links, and who
// requires whom. The graph is the one the group's tree draws, taken from the
// same view of the dependency map.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "environment/distribution_details.h"
#include "environment/installed_requirements.h"
#include "model/sub_map_view.h"
#include "resolution/pinned_requirements.h"
#include "support/sha1.h"

namespace quorl {

// A group's distributions, by the names the dependency map gives them
// (canonical) and in their order, each with the distributions of the group
// it requires (itself never), and those the group itself depends on: where
// its tree starts, and its given roots. Requirements are positions in
// `names`, ascending (so in name order), each once; the lists lie end to end
// in one vector, as the view hands them over.
struct GroupGraph {
    std::vector<std::string_view> names;  // the dependency map's own: the map must outlive the graph
    std::vector<std::size_t> requirements;
    std::vector<std::size_t> first;  // where each node's requirements start, and the end
    std::vector<std::size_t> group_requires;

    std::size_t size() const { return names.size(); }
    std::span<const std::size_t> requires_of(std::size_t node) const {
        return std::span(requirements).subspan(first[node], first[node + 1] - first[node]);
    }
};

// Folds the view's packages and edges into distributions. `roots` are the
// group's own roots; those the view does not hold (not installed) are left
// out. The graph refers to the names of the view's map.
GroupGraph group_graph(DependencyMap::SubMapView& view, const std::vector<Package>& roots);

// One document, ready to be written into the output directory.
struct BillOfMaterials {
    std::string file_name;
    std::string text;
};

// "<group>.cdx.json", with every byte of the group name other than ASCII
// letters, digits, "-", "_" and "." (and a leading ".") percent-encoded, and
// "%" for the empty name, so that any name gives one plain file name of its
// own inside the directory; a name too long for a file name is cut and made
// unique with a hash.
std::string bill_of_materials_file_name(const std::string& group_name);

// The moment a document records: SOURCE_DATE_EPOCH when set (for builds that
// must be reproducible), else now. ValueError when it is set but is not a
// whole number of seconds between 1970 and 9999.
std::time_t bill_of_materials_time();

class BillOfMaterialsBuilder {
public:
    // `versions` (read from `pinned_file`) give each distribution's version;
    // `installed` the installed distributions with their details (read by a
    // reader told to keep them; one without is listed by name and version
    // alone). Both must outlive the builder.
    BillOfMaterialsBuilder(const VersionsMap& versions, std::filesystem::path pinned_file,
                           const InstalledRequirements& installed);

    // The document of the group `group_name` with the given roots (as
    // written) and graph. A distribution the pinned file does not pin is a
    // KeyError as when a release is pinned (setuptools, which releases never
    // pin, goes with its installed version, or none).
    BillOfMaterials build(const std::string& group_name, const std::vector<std::string>& roots,
                          const GroupGraph& graph);

    // Looks up every distribution of `graph` now, its pin and its details,
    // and throws as build would.
    void look_up(const std::string& group_name, const GroupGraph& graph);

private:
    struct Component {
        std::string quoted_ref;  // its purl as a JSON string
        std::string text;        // its entry of "components", as written there
        Sha1Digest digest;       // of `text`: what the document's serial number takes from it
    };
    const Component& component(std::string_view name, const std::string& group_name);
    static std::string fingerprint(std::string group_json, const GroupGraph& graph,
                                   const std::vector<const Component*>& members);

    PinnedVersionLookup versions_;
    std::filesystem::path pinned_file_;
    const InstalledRequirements& installed_;
    InstalledIndex installed_index_;
    std::string timestamp_;
    // Groups share most of their distributions: each is looked up once,
    // found again by the graph's own view of its name.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    std::unordered_map<std::string, Component, NameHash, std::equal_to<>> components_;
};

// A group as its bill of materials needs it.
struct GroupBill {
    std::string name;
    std::vector<std::string> roots;  // as written
    GroupGraph graph;
};

// Writes each group's document into `directory`. Every distribution of
// every group is looked up first, so that one not pinned fails before
// anything is written; then `directory` is made with its parents when
// missing (OsError naming it when that fails), and the documents are built
// and replaced atomically one after the other, so that only one of them
// (megabytes for a large group) is held at a time.
void write_bills_of_materials(const std::filesystem::path& directory, BillOfMaterialsBuilder& builder,
                              const std::vector<GroupBill>& groups);

}  // namespace quorl
