// Software bills of materials: one CycloneDX 1.6 JSON document per group,
// listing the distributions the group ships (extras folded into their
// distribution) with their pinned versions, licences and links, and who
// requires whom. The graph is the one the group's tree draws, taken from the
// same view of the dependency map.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "environment/distribution_reader.h"
#include "model/sub_map_view.h"
#include "resolution/pinned_requirements.h"
#include "support/sha1.h"
#include "support/text.h"

namespace quorl {

// A group's distributions, by the names the dependency map gives them
// (canonical) and in their order, each with the distributions of the group
// it requires (itself never), and those the group itself depends on: where
// its tree starts, and its given roots. Requirements are positions in
// `names`, ascending (so in name order), each once; the lists lie end to end
// in one vector, as the view hands them over.
struct GroupGraph {
    // The dependency map's own: the map must outlive the graph's lookups
    // (BillOfMaterialsBuilder::look_up), the last that read them.
    std::vector<std::string_view> names;
    std::vector<std::size_t> requirements;
    std::vector<std::size_t> first;  // where each node's requirements start, and the end
    std::vector<std::size_t> group_requires;

    std::size_t size() const { return names.size(); }
    std::span<const std::size_t> requires_of(std::size_t node) const {
        return std::span(requirements).subspan(first[node], first[node + 1] - first[node]);
    }
};

// The graphs of the groups of one dependency map, whose names are put in
// order once for all of them. The map must outlive this and the graphs.
class GroupGraphs {
public:
    explicit GroupGraphs(const DependencyMap& map);

    // Folds the view's packages and edges (the view of this map) into
    // distributions. `roots` are the group's own roots; those the view does
    // not hold (not installed) are left out. The graph refers to the names
    // of the map.
    GroupGraph of(DependencyMap::SubMapView& view, const std::vector<Package>& roots) const;

private:
    // The view's packages by position, in name order, each name's together.
    std::vector<std::size_t> in_name_order(const DependencyMap::SubMapView::PackageGraph& packages) const;

    std::vector<std::uint32_t> name_ranks_;  // DependencyMap::name_ranks
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

// A group as its bill of materials needs it.
struct GroupBill {
    std::string name;
    std::vector<std::string> roots;  // as written
    GroupGraph graph;
};

class BillOfMaterialsBuilder {
public:
    // `versions` (read from `pinned_file`) give each distribution's version;
    // `reader` the details of the installed distributions it read after
    // keep_details (one without is listed by name and version alone). Both
    // must outlive the builder.
    BillOfMaterialsBuilder(const VersionsMap& versions, std::filesystem::path pinned_file,
                           const InstalledDistributionReader& reader);

    // Looks up every distribution of every group, and writes its entry of
    // "components" once: one the pinned file does not pin is a KeyError as
    // when a release is pinned (setuptools, which releases never pin, goes
    // with its installed version, or none). After it, the graphs' names are
    // not read again: their map may go, and its memory serve the documents.
    void look_up(const std::vector<GroupBill>& groups);

    // Writes each group's document into `directory`, after look_up(groups)
    // (made here unless it was), so that nothing is written when a
    // distribution is not pinned. `directory` is made with its parents when
    // missing (OsError naming it when that fails), and the documents are
    // built one after the other (so only one, megabytes for a large group,
    // is held at a time), each written into a temporary file; they replace
    // the previous documents, in group order, only once every one is written.
    void write(const std::filesystem::path& directory, const std::vector<GroupBill>& groups);

private:
    struct Component {
        std::string quoted_ref;  // its purl as a JSON string
        // Its item of a "dependsOn" list, with the comma and line break
        // before it: the most numerous lines of a document, each one append.
        std::string depends_on_item;
        std::string text;   // its entry of "components", as written there
        Sha1Digest digest;  // of `text`: what the document's serial number takes from it
    };
    // One document being laid out, with the room of its buffers kept for
    // the next. The components' entries are not copied into it: its text
    // is all the rest, and `pieces` the whole, views of the text and of the
    // entries in turn, as the writer takes them.
    struct Document {
        std::string text;
        std::vector<std::pair<std::size_t, const std::string*>> entries;  // where in `text` each entry goes
        std::vector<std::string_view> pieces;
        std::string fingerprint;
    };
    const Component& component(std::string_view name, const std::string& group_name);
    std::vector<const Component*> members_of(const std::string& group_name, const GroupGraph& graph);
    void lay_out(const GroupBill& bill, const std::vector<const Component*>& members, Document& document) const;
    static void fingerprint(std::string& into, std::string_view group_json, const GroupGraph& graph,
                            const std::vector<const Component*>& members);

    PinnedVersionLookup versions_;
    std::filesystem::path pinned_file_;
    const InstalledDistributionReader& reader_;
    std::string timestamp_;
    // Groups share most of their distributions: each is looked up once,
    // found again by the graph's own view of its name.
    text::MapByText<Component> components_;
    std::vector<std::vector<const Component*>> members_;  // each group's components, by look_up
    std::string scratch_;                                 // where each component's entry is written first
};

}  // namespace quorl
