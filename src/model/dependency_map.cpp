// Storage of the dependency map: packages are interned to dense ids in key
// order, sets are id vectors sorted by text form, and a name index finds the
// extras variants of a package without scanning the keys.
#include "model/dependency_map.h"

#include <algorithm>

#include "model/dependency_sub_graph.h"
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "support/text.h"

namespace quorl {
namespace {

// Text order with a tie-break, so that two different packages that happen to
// print alike (an extra holding a ",") still have a strict order.
bool package_less(const Package& a, const Package& b) {
    if (a.to_string() != b.to_string()) return a.to_string() < b.to_string();
    if (a.name() != b.name()) return a.name() < b.name();
    return a.extras() < b.extras();
}

}  // namespace

DependencyMap::DependencyMap(const Mapping& mapping) {
    // A key given twice keeps its first position and its last list.
    std::unordered_map<Package, std::size_t> last_entry;
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < mapping.size(); ++i) {
        auto [found, inserted] = last_entry.try_emplace(mapping[i].first, i);
        if (inserted) {
            order.push_back(i);
        } else {
            found->second = i;
        }
    }
    // Every base package is complete before an extras package copies its set.
    for (const bool with_extras : {false, true}) {
        for (const std::size_t first : order) {
            const Package& key = mapping[first].first;
            if (key.has_extras() != with_extras) continue;
            _add_dependencies(key, mapping[last_entry.at(key)].second);
        }
    }
    check_base_packages();
}

DependencyMap DependencyMap::from_string_mapping(const StringMapping& mapping) {
    Mapping parsed;
    parsed.reserve(mapping.size());
    for (const auto& [key, dependencies] : mapping) {
        std::vector<Package> packages;
        packages.reserve(dependencies.size());
        for (const std::string& dependency : dependencies) {
            packages.push_back(Package::from_string(dependency));
        }
        parsed.emplace_back(Package::from_string(key), std::move(packages));
    }
    return DependencyMap(parsed);
}

std::vector<Package> DependencyMap::packages() const {
    std::vector<Package> out;
    out.reserve(nodes_.size());
    for (const Node& node : nodes_) out.push_back(node.package);
    return out;
}

std::vector<std::uint32_t> DependencyMap::name_ranks() const {
    std::vector<Id> by_name(nodes_.size());
    for (Id id = 0; id < by_name.size(); ++id) by_name[id] = id;
    std::sort(by_name.begin(), by_name.end(),
              [this](Id a, Id b) { return nodes_[a].package.name() < nodes_[b].package.name(); });
    std::vector<std::uint32_t> ranks(nodes_.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < by_name.size(); ++i) {
        if (i > 0 && nodes_[by_name[i]].package.name() != nodes_[by_name[i - 1]].package.name()) ++rank;
        ranks[by_name[i]] = rank;
    }
    return ranks;
}

bool DependencyMap::contains(const Package& package) const { return find(package).has_value(); }

Package DependencyMap::package_named(std::string_view name) const {
    if (const std::optional<Id> id = find_base(name)) return nodes_[*id].package;
    return Package::from_canonical_name(std::string(name));
}

std::vector<Package> DependencyMap::get(const Package& package) const {
    return to_packages(SubGraph(*this).get(package));
}

void DependencyMap::_add_dependencies(const Package& package, const std::vector<Package>& dependencies) {
    const std::optional<Id> base = check_addable(package);
    const Id key = intern(package);
    std::vector<Id> ids;
    ids.reserve(dependencies.size());
    for (const Package& dependency : dependencies) ids.push_back(intern(dependency));
    add_to_set(key, std::move(ids), base);
}

void DependencyMap::remove_package(const Package& package) {
    std::vector<Id> doomed_ids;
    if (const std::optional<Id> id = find(package)) doomed_ids.push_back(*id);
    // A base package takes its extras variants with it: every key of the same
    // name includes it, so the name index lists exactly them.
    if (!package.has_extras()) for_each_named(package.name(), [&](Id id) { doomed_ids.push_back(id); });
    // By invariant 1 a package that is not a key is in no set either.
    if (doomed_ids.empty()) return;
    std::vector<char> doomed(nodes_.size(), 0);
    for (const Id id : doomed_ids) doomed[id] = 1;
    remove_keys(doomed);
}

// --- internals --------------------------------------------------------------

std::optional<DependencyMap::Id> DependencyMap::find(const Package& package) const {
    const std::optional<std::size_t> found =
        index_.find(package.hash(), [&](std::size_t id) { return nodes_[id].package == package; });
    if (!found) return std::nullopt;
    return static_cast<Id>(*found);
}

std::optional<DependencyMap::Id> DependencyMap::find_base(std::string_view name) const {
    for (Id id = first_named(name); id != NO_ID; id = nodes_[id].next_same_name) {
        if (!nodes_[id].package.has_extras()) return id;
    }
    return std::nullopt;
}

DependencyMap::Id DependencyMap::first_named(std::string_view name) const {
    const std::optional<std::size_t> found = by_name_.find(
        std::hash<std::string_view>{}(name), [&](std::size_t id) { return nodes_[id].package.name() == name; });
    return found ? static_cast<Id>(*found) : NO_ID;
}

void DependencyMap::index_name(Id id) {
    const std::string& name = nodes_[id].package.name();
    const Id first = first_named(name);
    if (first == NO_ID) {
        by_name_.insert(std::hash<std::string_view>{}(name), id);
        nodes_[id].last_same_name = id;
        return;
    }
    nodes_[nodes_[first].last_same_name].next_same_name = id;
    nodes_[first].last_same_name = id;
}

DependencyMap::Id DependencyMap::intern(const Package& package) {
    if (const std::optional<Id> found = find(package)) return *found;
    const Id id = static_cast<Id>(nodes_.size());
    nodes_.push_back(Node{package, {}});
    index_.insert(package.hash(), id);
    index_name(id);
    return id;
}

bool DependencyMap::text_less(Id a, Id b) const { return package_less(nodes_[a].package, nodes_[b].package); }

void DependencyMap::sort_by_text(std::vector<Id>& ids) const {
    auto less = [this](Id a, Id b) { return text_less(a, b); };
    // Sets copied from another map arrive sorted already.
    if (!std::is_sorted(ids.begin(), ids.end(), less)) std::sort(ids.begin(), ids.end(), less);
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

std::vector<Package> DependencyMap::to_packages(const std::vector<Id>& ids) const {
    std::vector<Package> out;
    out.reserve(ids.size());
    for (const Id id : ids) out.push_back(nodes_[id].package);
    return out;
}

std::optional<DependencyMap::Id> DependencyMap::check_addable(const Package& package) const {
    if (package.extras().size() > 1) {
        throw ValueError("Cannot add dependencies for a package with multiple extras.");
    }
    if (!package.has_extras()) return std::nullopt;
    const std::optional<Id> base_id = find_base(package.name());
    if (!base_id) {
        throw ValueError("Package " + package.to_string() + " has extras but no base package " +
                         package.base().to_string() + " in the dependency map.");
    }
    return base_id;
}

void DependencyMap::add_to_set(Id key, std::vector<Id> dependencies, std::optional<Id> base, bool sorted) {
    if (base) {
        const std::vector<Id>& inherited = nodes_[*base].dependencies;
        dependencies.insert(dependencies.end(), inherited.begin(), inherited.end());
        sorted = false;
    }
    if (id_ordered_) {
        std::sort(dependencies.begin(), dependencies.end());
        dependencies.erase(std::unique(dependencies.begin(), dependencies.end()), dependencies.end());
    } else if (!sorted) {
        sort_by_text(dependencies);
    }
    std::vector<Id>& set = nodes_[key].dependencies;
    if (set.empty()) {
        set = std::move(dependencies);
        return;
    }
    std::vector<Id> merged;
    merged.reserve(set.size() + dependencies.size());
    std::set_union(set.begin(), set.end(), dependencies.begin(), dependencies.end(), std::back_inserter(merged),
                   [this](Id a, Id b) { return set_less(a, b); });
    set = std::move(merged);
}

// One sort of all keys by text ranks them; each set is then sorted by rank,
// an integer compare.
void DependencyMap::restore_text_order() {
    id_ordered_ = false;
    std::vector<std::string_view> texts;
    texts.reserve(nodes_.size());
    for (const Node& node : nodes_) texts.push_back(node.package.to_string());
    std::vector<Id> rank(nodes_.size());
    Id position = 0;
    for (const std::size_t id : text::byte_order(texts)) rank[id] = position++;
    for (Node& node : nodes_) {
        std::sort(node.dependencies.begin(), node.dependencies.end(),
                  [&rank](Id a, Id b) { return rank[a] < rank[b]; });
    }
}

void DependencyMap::reserve(std::size_t keys) {
    nodes_.reserve(keys);
    index_.reserve(keys);
    by_name_.reserve(keys);
}

void DependencyMap::check_base_packages() const {
    for (const Node& node : nodes_) {
        if (node.package.has_extras() && !find_base(node.package.name())) {
            throw ValueError("Missing base dependencies for package " + node.package.to_string() + ".");
        }
    }
}

// Drops the doomed keys and every mention of them, renumbering the survivors
// so that ids stay dense and in key order: O(keys + dependencies).
void DependencyMap::remove_keys(const std::vector<char>& doomed) {
    std::vector<Id> renumber(nodes_.size(), NO_ID);
    std::vector<Node> kept;
    kept.reserve(nodes_.size());
    for (Id id = 0; id < nodes_.size(); ++id) {
        if (doomed[id]) continue;
        renumber[id] = static_cast<Id>(kept.size());
        kept.push_back(std::move(nodes_[id]));
    }
    for (Node& node : kept) {
        std::vector<Id> survivors;
        survivors.reserve(node.dependencies.size());
        for (const Id dependency : node.dependencies) {
            if (renumber[dependency] != NO_ID) survivors.push_back(renumber[dependency]);
        }
        node.dependencies = std::move(survivors);  // renumbering keeps the text order
    }
    nodes_ = std::move(kept);
    // Both rebuilt rather than renumbered: the hash index cannot drop a key,
    // and a name may have been viewed in a package that is gone now.
    index_ = HashIndex();
    index_.reserve(nodes_.size());
    by_name_ = HashIndex();
    by_name_.reserve(nodes_.size());
    for (Id id = 0; id < nodes_.size(); ++id) {
        index_.insert(nodes_[id].package.hash(), id);
        nodes_[id].next_same_name = nodes_[id].last_same_name = NO_ID;
        index_name(id);
    }
}

}  // namespace quorl
