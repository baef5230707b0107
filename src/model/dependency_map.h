// DependencyMap: an insertion-ordered map from each Package to the set of its
// direct dependencies, with the extra logic for extras: a key with one extra
// ("scipy[test]") stands for its base package plus what the extra pulls in, so
// its set holds the base package's dependencies as well as its own.
//
// Invariants after construction:
//   1. every dependency of every key is itself a key (with an empty set when
//      nothing more is known about it);
//   2. a key added with dependencies has at most one extra, and a single-extra
//      key's set holds every dependency its base package had when it was added;
//   3. for every key, the base package of the same name is a key.
// A key with several extras exists only as somebody's dependency, with an
// empty set of its own; `get` of it is the union of its single-extra variants.
//
// Every list a query returns is deterministic: `get` is sorted by text form
// (code-point order), and the other queries follow key order or `get` order.
// All failures are ValueError with the messages documented per operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/package.h"
#include "support/hash_index.h"
#include "support/ordered_map.h"

namespace quorl {

class DistributionReader;
// What the installed map's build records for the consistency checks
// (environment/installed_requirements.h).
struct InstalledDistribution;
using InstalledRequirements = std::vector<InstalledDistribution>;

class DependencyMap {
public:
    using Mapping = std::vector<std::pair<Package, std::vector<Package>>>;
    using StringMapping = std::vector<std::pair<std::string, std::vector<std::string>>>;

    // --- Construction and storage (dependency_map.cpp) --------------------

    // An empty map (it has no roots).
    DependencyMap() = default;

    // Builds the map from an ordered mapping (entry order = mapping order).
    // Keys without extras are added first, then keys with extras, each through
    // `_add_dependencies`; then every key's base package must be a key.
    // A key given twice keeps its first position and its last list.
    // Throws ValueError:
    //   "Cannot add dependencies for a package with multiple extras."
    //   "Package <p> has extras but no base package <base> in the dependency map."
    //   "Missing base dependencies for package <p>."
    explicit DependencyMap(const Mapping& mapping);

    // Same, with every text parsed by Package::from_string (whose errors
    // propagate). Texts that give equal packages name one key.
    static DependencyMap from_string_mapping(const StringMapping& mapping);

    // All keys in key order (position of first insertion).
    std::vector<Package> packages() const;
    bool contains(const Package& package) const;
    // The key without extras of canonical name `name` when there is one,
    // else a new package of that name: a caller that holds only a name
    // then shares the key's parts instead of making a copy to compare
    // and free.
    Package package_named(std::string_view name) const;
    std::size_t size() const { return nodes_.size(); }
    // Each key's place among the keys' distinct names in code-point order,
    // by key (as SubMapView::PackageGraph::ids name them): keys of one name
    // share it, and every place is below size(). One order for the graphs
    // of all groups, as sorting each group's names again cost more than the
    // rest of its graph.
    std::vector<std::uint32_t> name_ranks() const;

    // The dependencies of `package`, sorted by text form: its own set when it
    // is a key, united with the set of every single-extra variant name[e]
    // that is a key, for each extra e of `package`. Empty for unknown packages.
    std::vector<Package> get(const Package& package) const;

    // Adds `dependencies` to the set of `package` (inserting it as a key at
    // the end when new); a single-extra package also receives its base
    // package's current set. Dependencies not yet keys become keys with empty
    // sets, in list order. Nothing changes when it throws:
    //   "Cannot add dependencies for a package with multiple extras."
    //   "Package <p> has extras but no base package <base> in the dependency map."
    void _add_dependencies(const Package& package, const std::vector<Package>& dependencies);

    // Removes `package` as a key and from every set; a package without
    // extras also takes every key of the same name (its extras variants)
    // with it. Dependencies of removed keys stay. Unknown packages: no-op.
    void remove_package(const Package& package);

    // --- Graph queries (dependency_map_queries.cpp) -----------------------
    // Each runs on one view of the map (model/dependency_sub_graph.h): the
    // whole map, or what a group's roots reach less the excluded packages.

    // Every key whose `get` holds a dependency that `target_package` is
    // included in, grouped by name in key order: one package per name, with
    // the extras of all such keys of that name (first-seen order). The result
    // packages are new values.
    std::vector<Package> required_by(const Package& target_package) const;

    // A new map of what `roots` reach: the roots, every dependency reached
    // through `get`, the base package of each reached package with extras
    // (followed like any other), and the single-extra variants (that are
    // keys) of each reached package with several extras. Keys of several
    // extras are left out of the mapping the new map is built from; they come
    // back as empty-set keys through the dependents that list them. Roots that
    // are not keys contribute their `get` but do not appear. The new map is
    // built as the constructor builds it from {reached key: get(key)} in key
    // order. This map is unchanged.
    DependencyMap extract_from_roots(const std::vector<Package>& roots) const;

    // The keys nothing requires, minus those included in another key of the
    // same name (a candidate represented by an extras variant, or required
    // through one), sorted by text form. Empty for a map of only cycles.
    std::vector<Package> roots() const;

    // Layer 0 is `roots`; layer i+1 lists, for each package of layer i in
    // order, the dependencies (`get` order) not in layers 0..i. A package
    // required twice from one layer occurs twice in the next one. With
    // `max_depth` m, s = m + 1 of n layers: the first s when 0 <= s <= n, all
    // when s > n, the first max(n + s, 0) when s < 0.
    std::vector<std::vector<Package>> packages_by_depth(std::optional<int> max_depth = std::nullopt) const;

    // The layers of packages_by_depth (same number, same cut) with every
    // package kept only at its first occurrence: what deduplicating the
    // concatenated layers gives. Linear in the map, however many duplicates
    // the full layers would carry.
    std::vector<std::vector<Package>> first_occurrence_by_depth(std::optional<int> max_depth = std::nullopt) const;

    // What extract_from_roots(roots), then remove_package of each of
    // `excluded` in turn, then first_occurrence_by_depth(max_depth) give,
    // computed on this map without building the sub-map: the group generator
    // needs only these layers, for every group of a release.
    std::vector<std::vector<Package>> first_occurrence_by_depth_of(const std::vector<Package>& roots,
                                                                   const std::vector<Package>& excluded,
                                                                   std::optional<int> max_depth = std::nullopt) const;

    // Calls `visit(depth, package)` for exactly the elements of
    // packages_by_depth(max_depth), duplicates included, in order, without
    // copying packages. The reference is valid during the call only.
    void for_each_by_depth(std::optional<int> max_depth,
                           const std::function<void(std::size_t depth, const Package&)>& visit) const;

    // --- One group's sub-map, in place (model/sub_map_view.h) ---------------

    class SubMapView;
    // What extract_from_roots(roots) would build (then less each of
    // `excluded`, as remove_package leaves it), answered on this map's own
    // ids without building it: its packages, its layers and its tree. The
    // view must not outlive this map, and the map must not change meanwhile.
    SubMapView view_from_roots(const std::vector<Package>& roots, const std::vector<Package>& excluded = {}) const;

    // --- The tree text (dependency_tree_text.cpp) -------------------------

    // The map as text trees, one per root (sorted), joined by "\n", without a
    // final line break. A child is drawn under each parent that requires it;
    // on a cycle the closing package is drawn once more without children.
    // With `show_extras_marker`, a child that a parent with extras has only
    // through some extras is marked "  => [extra,...]". Control characters
    // in names and extras are escaped (support/printable.h).
    // Throws ValueError "Dependency map only contains cycles." when there are
    // no roots (also for an empty map).
    std::string to_string(bool show_extras_marker = true) const;

    // The lines that to_string joins, one call each, without line breaks,
    // for callers that write a tree rather than hold it: a graph of shared
    // dependencies prints each of them under every parent, so the text can be
    // far larger than the map (2^k lines for a chain of k diamonds). Throws
    // as to_string, before the first line.
    void for_each_tree_line(bool show_extras_marker, const std::function<void(std::string_view)>& visit) const;

    // --- Reading the installed environment (installed_dependency_map.cpp) -

    // The extras of one installed package: for each extra, the package with
    // that single extra mapped to what the extra requires, in line order.
    using ExtrasMap = OrderedMap<Package, std::vector<Package>>;

    // The map of the installed environment: every installed distribution
    // (by canonical name) with its direct requirements, those whose marker
    // holds without an extra; a requirement with extras is the dependency
    // b[x,y], and a base package that is not installed an empty key. With
    // `fetch_extras`, every installed key k also gets, for each of its extras
    // X, the key k[X] with k's dependencies plus the requirements of X. Each
    // single-extra variant b[x] of a dependency with extras carries at least
    // b's dependencies. A key that is not installed gets the warning
    // "Package <name> not found when fetching extras." when extras are read.
    // Throws: PipDepTreeProcessingException when the reader cannot list the
    // distributions (after the error log "An error happened computing
    // dependency tree"); other reader errors unchanged. A requirement line
    // that does not parse is skipped with a warning naming the distribution,
    // its metadata location and the line.
    // With `requirements`, it also receives every distribution's version and
    // the requirements the environment does not meet (in listing order).
    // With `roots`, only the distributions they reach are read, and the map
    // holds those with what they list: what the roots reach in it, its
    // `get` and its `contains` of the roots are those of the whole map (a
    // root only the whole map answers for, and an entry read whose metadata
    // names another distribution, make it read everything; an entry never
    // read cannot tell). A distribution the roots do not reach gets no
    // warning, and `requirements` holds only those read.
    static DependencyMap from_installed(bool fetch_extras = false, const std::vector<Package>* roots = nullptr);
    static DependencyMap from_installed(const DistributionReader& reader, bool fetch_extras = false,
                                        InstalledRequirements* requirements = nullptr,
                                        const std::vector<Package>* roots = nullptr);

    // The extras of the installed distribution named like `package`: the
    // key package[X] is made at the first requirement line whose marker
    // names X in an `extra == "X"` comparison; the requirement (canonical
    // name, its own extras kept) joins X's list when its marker holds with
    // extra = X. Not installed: the warning above and an empty map. Invalid
    // lines are skipped as above.
    static ExtrasMap fetch_extras_for_installed_package(const Package& package);
    static ExtrasMap fetch_extras_for_installed_package(const Package& package, const DistributionReader& reader);

private:
    using Id = std::uint32_t;
    // The one "no such id" value: a key that a renumbering drops or has not
    // met yet.
    static constexpr Id NO_ID = std::numeric_limits<Id>::max();

    class SubGraph;  // model/dependency_sub_graph.h
    class TreeText;  // model/dependency_tree_text.h

    struct Node {
        Package package;
        std::vector<Id> dependencies;  // a set, kept sorted by text form
        Id next_same_name = NO_ID;     // the next key of this name, in key order
        Id last_same_name = NO_ID;     // at the first key of a name: its last one
    };

    std::optional<Id> find(const Package& package) const;
    // The key package.base() of any package named `name`, found without
    // making that package.
    std::optional<Id> find_base(std::string_view name) const;
    // The first key named `name` (key order); NO_ID when there is none. The
    // others of that name follow through Node::next_same_name.
    Id first_named(std::string_view name) const;
    template <typename Visit>
    void for_each_named(std::string_view name, Visit visit) const {
        for (Id id = first_named(name); id != NO_ID; id = nodes_[id].next_same_name) visit(id);
    }
    // Files the new key `id` under its name.
    void index_name(Id id);
    Id intern(const Package& package);
    bool text_less(Id a, Id b) const;
    void sort_by_text(std::vector<Id>& ids) const;
    std::vector<Package> to_packages(const std::vector<Id>& ids) const;

    // Validates that `package` may be added with dependencies; returns its
    // base package's id for a single-extra package.
    std::optional<Id> check_addable(const Package& package) const;
    // Unites `dependencies` (and the set of `base`, when given) into the
    // set of `key`. `sorted`: they are in text order without repeats already,
    // as a set of another map is after renumbering.
    void add_to_set(Id key, std::vector<Id> dependencies, std::optional<Id> base, bool sorted = false);
    void check_base_packages() const;

    // Building the installed environment's map adds tens of thousands of
    // sets; comparing texts at each addition was most of its cost. Between
    // these two calls every set is kept in id order, which integers compare
    // cheaply, and the second puts all of them in text order at once. Nothing
    // may query the map in between.
    void defer_text_order() { id_ordered_ = true; }
    void reserve(std::size_t keys);
    void restore_text_order();
    bool set_less(Id a, Id b) const { return id_ordered_ ? a < b : text_less(a, b); }
    void remove_keys(const std::vector<char>& doomed);

    DependencyMap rebuilt(SubGraph& view) const;
    void for_each_by_depth_in(SubGraph& view, std::optional<int> max_depth,
                              const std::function<void(std::size_t depth, const Package&)>& visit) const;
    std::vector<std::vector<Package>> layers_as_packages(std::vector<std::vector<Id>> layers,
                                                         std::optional<int> max_depth) const;

    std::vector<Node> nodes_;  // key order; id = position
    // key -> id, over the nodes' own packages: a node-based map of copies
    // allocated once per key, and the environment's map has tens of
    // thousands of them.
    HashIndex index_;
    // name -> the first key of that name, the others chained from it in
    // the nodes: no map node and no list to allocate per name.
    HashIndex by_name_;
    bool id_ordered_ = false;  // between defer_text_order and restore_text_order
};

}  // namespace quorl
