// The sub-graph view: what a group reaches, its sets, roots and layers, on
// the ids of the map it views. Linear in the keys and dependencies of the
// view, plus one flag per key of the map.
#include "model/dependency_sub_graph.h"

#include <algorithm>
#include <iterator>

namespace quorl {

DependencyMap::SubGraph::SubGraph(const DependencyMap& map, const std::vector<Package>& roots,
                                  const std::vector<Package>& excluded)
    : map_(map),
      member_(map.nodes_.size(), 0),
      united_with_base_(true),
      set_source_(map.nodes_.size(), SetSource::UNDECIDED) {
    reach_from(roots);
    exclude(excluded);
    std::sort(member_ids_.begin(), member_ids_.end());
}

void DependencyMap::SubGraph::reach_from(const std::vector<Package>& roots) {
    std::vector<char> reached(map_.nodes_.size(), 0);
    std::vector<Id> reached_ids;
    std::vector<Id> work;
    SubGraph whole(map_);

    auto reach = [&](Id id) {
        if (reached[id]) return;
        reached[id] = 1;
        reached_ids.push_back(id);
        work.push_back(id);
    };
    // A package with extras brings its base package, and the base is
    // traversed like any other: a root whose extra the package does not
    // declare (pkg[unknown], pkg[]) reaches what the base reaches,
    // transitively, as installing pkg[unknown] installs pkg with all it
    // requires. The base's set is normally within the variant's, but not for
    // a variant that is no key (an undeclared extra, or one that adds
    // nothing); merely listing the base's dependencies without following them
    // would drop what they need and fail a rebuild on any that has extras.
    // One of several extras also brings its single-extra variants: it cannot
    // itself be added to a new map with dependencies, so they carry what it
    // stands for.
    auto reach_relatives = [&](const Package& package) {
        if (!package.has_extras()) return;
        if (const std::optional<Id> base = map_.find_base(package.name())) reach(*base);
        if (package.extras().size() < 2) return;
        for (const std::string& extra : package.extras()) {
            if (const std::optional<Id> variant = map_.find(Package(package.name(), {extra}))) reach(*variant);
        }
    };
    auto reach_dependency = [&](Id id) {
        if (reached[id]) return;
        reach(id);
        reach_relatives(map_.nodes_[id].package);
    };

    for (const Package& root : roots) {
        if (const std::optional<Id> id = map_.find(root)) {
            reach(*id);
        } else {
            // A root that is not a key still contributes its dependencies.
            for (const Id dependency : whole.get(root)) reach_dependency(dependency);
        }
        reach_relatives(root);
    }
    while (!work.empty()) {
        const Id id = work.back();
        work.pop_back();
        for (const Id dependency : whole.dependencies_of(id)) reach_dependency(dependency);
    }
    add_members(reached_ids);
}

// The reached keys of at most one extra and what they list.
void DependencyMap::SubGraph::add_members(const std::vector<Id>& reached_ids) {
    auto add_member = [this](Id id) {
        if (member_[id]) return;
        member_[id] = 1;
        member_ids_.push_back(id);
    };
    for (const Id id : reached_ids) {
        if (map_.nodes_[id].package.extras().size() > 1) continue;
        add_member(id);
        for (const Id dependency : map_.nodes_[id].dependencies) add_member(dependency);
    }
}

void DependencyMap::SubGraph::exclude(const std::vector<Package>& excluded) {
    if (excluded.empty()) return;
    excluded_any_ = true;
    for (const Package& package : excluded) {
        if (const std::optional<Id> id = map_.find(package)) member_[*id] = 0;
        if (package.has_extras()) continue;
        map_.for_each_named(package.name(), [this](Id id) { member_[id] = 0; });
    }
    std::erase_if(member_ids_, [this](Id id) { return member_[id] == 0; });
}

std::vector<DependencyMap::Id> DependencyMap::SubGraph::keys() const {
    std::vector<Id> out;
    for_each_key([&out](Id id) { out.push_back(id); });
    return out;
}

std::optional<DependencyMap::Id> DependencyMap::SubGraph::find(const Package& package) const {
    const std::optional<Id> id = map_.find(package);
    if (id && !contains(*id)) return std::nullopt;
    return id;
}

std::optional<DependencyMap::Id> DependencyMap::SubGraph::inherited_base(Id id) const {
    const Package& package = map_.nodes_[id].package;
    if (!united_with_base_ || package.extras().size() != 1) return std::nullopt;
    return map_.find_base(package.name());
}

// Whether the set differs from the map's own: a base package's set that it
// lacks, or a package that is not in the view.
bool DependencyMap::SubGraph::needs_own_copy(Id id, std::optional<Id> base) const {
    const std::vector<Id>& own = map_.nodes_[id].dependencies;
    auto text_order = [this](Id a, Id b) { return map_.text_less(a, b); };
    if (base) {
        const std::vector<Id>& inherited = map_.nodes_[*base].dependencies;
        if (!std::includes(own.begin(), own.end(), inherited.begin(), inherited.end(), text_order)) return true;
    }
    // Without exclusions every package a key's set lists is in the view.
    if (!excluded_any_) return false;
    return std::any_of(own.begin(), own.end(), [this](Id dependency) { return !contains(dependency); });
}

std::vector<DependencyMap::Id> DependencyMap::SubGraph::computed_set(Id id, std::optional<Id> base) const {
    const std::vector<Id>& own = map_.nodes_[id].dependencies;
    std::vector<Id> set;
    if (base) {
        const std::vector<Id>& inherited = map_.nodes_[*base].dependencies;
        std::set_union(own.begin(), own.end(), inherited.begin(), inherited.end(), std::back_inserter(set),
                       [this](Id a, Id b) { return map_.text_less(a, b); });
    } else {
        set = own;
    }
    std::erase_if(set, [this](Id dependency) { return !contains(dependency); });
    return set;
}

// The set of a key of a group's view: the map's own set unless it lacks its
// base package's set or lists a package the view does not hold.
std::span<const DependencyMap::Id> DependencyMap::SubGraph::narrowed_set(Id id) {
    const std::vector<Id>& own = map_.nodes_[id].dependencies;
    switch (set_source_[id]) {
        case SetSource::OWN:
            return own;
        case SetSource::COPY:
            return sets_.find(id)->second;
        case SetSource::UNDECIDED:
            break;
    }
    const std::optional<Id> base = inherited_base(id);
    if (!needs_own_copy(id, base)) {
        set_source_[id] = SetSource::OWN;
        return own;
    }
    set_source_[id] = SetSource::COPY;
    // Elements of an unordered_map keep their address: the span stays valid.
    return sets_.emplace(id, computed_set(id, base)).first->second;
}

std::span<const DependencyMap::Id> DependencyMap::SubGraph::union_of_variants(Id id) {
    auto [found, inserted] = unions_.try_emplace(id);
    if (inserted) found->second = get(map_.nodes_[id].package);
    return found->second;
}

std::vector<DependencyMap::Id> DependencyMap::SubGraph::get(const Package& package) {
    const std::optional<Id> own = find(package);
    std::vector<Id> ids;
    if (own) {
        const std::span<const Id> set = set_of(*own);
        ids.assign(set.begin(), set.end());
    }
    // The only variant of a single-extra package is the package itself.
    if (package.extras().size() <= 1) return ids;
    for (const std::string& extra : package.extras()) {
        if (const std::optional<Id> variant = find(Package(package.name(), {extra}))) {
            const std::span<const Id> more = set_of(*variant);
            ids.insert(ids.end(), more.begin(), more.end());
        }
    }
    map_.sort_by_text(ids);
    return ids;
}

std::vector<DependencyMap::Id> DependencyMap::SubGraph::roots() {
    // The required packages are what the keys' own sets list (a key of
    // several extras has an empty one: its `get` unites other keys' sets).
    std::vector<char> required(map_.nodes_.size(), 0);
    for_each_key([&](Id id) {
        for (const Id dependency : set_of(id)) required[dependency] = 1;
    });
    // Keys are either candidates or required, so "included in another
    // candidate or in a required package" means "included in another key";
    // such keys share the name, which the name index lists.
    std::vector<Id> out;
    for_each_key([&](Id id) {
        if (required[id]) return;
        const Package& candidate = map_.nodes_[id].package;
        bool represented = false;
        for (Id other = map_.first_named(candidate.name()); other != NO_ID && !represented;
             other = map_.nodes_[other].next_same_name) {
            represented = other != id && contains(other) && candidate.included_in(map_.nodes_[other].package);
        }
        if (!represented) out.push_back(id);
    });
    std::sort(out.begin(), out.end(), [this](Id a, Id b) { return map_.text_less(a, b); });
    return out;
}

// A package joins the layer after the first layer that requires it. Equal to
// deduplicating the full layers, since repeats of a package in a layer only
// repeat its (identical) children.
std::vector<std::vector<DependencyMap::Id>> DependencyMap::SubGraph::first_occurrence_layers() {
    std::vector<std::vector<Id>> layers;
    std::vector<char> seen(map_.nodes_.size(), 0);
    std::vector<Id> current = roots();
    for (const Id id : current) seen[id] = 1;
    while (!current.empty()) {
        std::vector<Id> next;
        for (const Id id : current) {
            for (const Id dependency : dependencies_of(id)) {
                if (!seen[dependency]) {
                    seen[dependency] = 1;
                    next.push_back(dependency);
                }
            }
        }
        layers.push_back(std::move(current));
        current = std::move(next);
    }
    return layers;
}

}  // namespace quorl
