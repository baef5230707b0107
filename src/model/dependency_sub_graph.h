// DependencyMap::SubGraph: a read-only view of the part of a dependency map
// that a command works on, in the map's own ids. The whole map is one such
// view; what a group's roots reach, less excluded packages, is another. Both
// answer the same questions (the keys of the view, each key's set, `get` of
// each key, the roots, the first-occurrence layers) with one definition each,
// so that a sub-map built from a group and the group's layers computed in
// place cannot drift apart.
//
// Spans returned by a view stay valid for the view's lifetime; a view must
// not outlive its map, and the map must not change while a view exists.
#pragma once

#include <span>
#include <unordered_map>
#include <vector>

#include "model/dependency_map.h"

namespace quorl {

class DependencyMap::SubGraph {
public:
    // The whole map: every key is in the view, with the set the map holds.
    explicit SubGraph(const DependencyMap& map) : map_(map) {}

    // The map that extract_from_roots(roots) builds, followed by
    // remove_package of each of `excluded`, without building it:
    //   - its keys are the reached keys of at most one extra and every package
    //     they list (a key of several extras comes back only through a
    //     dependent, with no set of its own);
    //   - a key without extras keeps its set; a single-extra key's set is
    //     united with its base package's set, as adding it to a new map does;
    //   - an excluded package (and, without extras, every key of its name) is
    //     no key and is dropped from every set; what it listed stays.
    SubGraph(const DependencyMap& map, const std::vector<Package>& roots, const std::vector<Package>& excluded);

    bool contains(Id id) const { return member_.empty() || member_[id] != 0; }
    // The view's keys in key order.
    std::vector<Id> keys() const;
    // The key with the text of `package`, when the view has it.
    std::optional<Id> find(const Package& package) const;

    // The key's own set, in text order.
    std::span<const Id> set_of(Id id) {
        if (member_.empty() && !united_with_base_) return map_.nodes_[id].dependencies;
        return narrowed_set(id);
    }
    // `get` of a key: its set, or for a key of several extras the union of
    // the sets of its single-extra variants that are keys, in text order.
    // Inline: the layered listing and the tree call it once per line.
    std::span<const Id> dependencies_of(Id id) {
        if (map_.nodes_[id].package.extras().size() <= 1) return set_of(id);
        return union_of_variants(id);
    }
    // `get` of any package (a key or not), as a new list.
    std::vector<Id> get(const Package& package);

    // The entries {key: set} that extract_from_roots builds its map from, in
    // the order it adds them: the keys without extras, then those of one
    // extra, each in key order, as `visit(key, set)`. Keys of several extras
    // are no entries: they come back through the sets that list them.
    template <typename Visit>
    void for_each_entry(Visit visit) {
        for (const bool with_extras : {false, true}) {
            for_each_key([&](Id id) {
                const Package& package = map_.nodes_[id].package;
                if (package.has_extras() != with_extras || package.extras().size() > 1) return;
                visit(id, set_of(id));
            });
        }
    }

    // Every package of the view, its keys and what their sets list, once
    // each, in the map's id order.
    template <typename Visit>
    void for_each_member(Visit visit) const {
        for_each_key([&](Id id) { visit(map_.nodes_[id].package); });
    }
    // The same, as ids.
    template <typename Visit>
    void for_each_member_id(Visit visit) const {
        for_each_key(visit);
    }

    // The keys nothing in the view requires, less those included in another
    // key of the same name, in text order.
    std::vector<Id> roots();
    // Layer-wise breadth-first walk from the roots (dependencies in `get`
    // order), every package at its first occurrence only.
    std::vector<std::vector<Id>> first_occurrence_layers();

private:
    void reach_from(const std::vector<Package>& roots);
    void add_members(const std::vector<Id>& reached_ids);
    void exclude(const std::vector<Package>& excluded);
    // The base package whose set a single-extra key's set is united with.
    std::optional<Id> inherited_base(Id id) const;
    std::span<const Id> narrowed_set(Id id);
    std::span<const Id> union_of_variants(Id id);
    bool needs_own_copy(Id id, std::optional<Id> base) const;
    std::vector<Id> computed_set(Id id, std::optional<Id> base) const;
    template <typename Visit>
    void for_each_key(Visit visit) const {
        if (!member_.empty()) {
            for (const Id id : member_ids_) visit(id);
            return;
        }
        for (Id id = 0; id < map_.nodes_.size(); ++id) visit(id);
    }

    const DependencyMap& map_;
    std::vector<char> member_;  // per map id; empty for the whole map
    std::vector<Id> member_ids_;
    bool united_with_base_ = false;
    bool excluded_any_ = false;
    // Per map id of a group's view, whether its set is the map's own or a
    // copy in `sets_` (undecided until first asked: deciding compares sets).
    enum class SetSource : char { UNDECIDED, OWN, COPY };
    std::vector<SetSource> set_source_;
    std::unordered_map<Id, std::vector<Id>> sets_;    // sets that differ from the map's
    std::unordered_map<Id, std::vector<Id>> unions_;  // `get` of keys of several extras
};

}  // namespace quorl
