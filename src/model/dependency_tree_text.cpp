// The dependency map as text trees. Drawn with an explicit stack, so that a
// long dependency chain cannot exhaust the call stack.
#include <algorithm>
#include <string_view>

#include "model/dependency_map.h"
#include "support/errors.h"

namespace quorl {
namespace {

constexpr std::string_view BRANCH = "\u251c\u2500\u2500 ";      // "├── "
constexpr std::string_view LAST_BRANCH = "\u2514\u2500\u2500 ";  // "└── "
constexpr std::string_view CONTINUATION = "\u2502   ";          // "│   "
constexpr std::string_view BLANK = "    ";

}  // namespace

std::string DependencyMap::to_string(bool show_extras_marker) const {
    std::string out;
    bool first = true;
    for_each_tree_line(show_extras_marker, [&](std::string_view line) {
        if (!first) out += '\n';
        out += line;
        first = false;
    });
    return out;
}

void DependencyMap::for_each_tree_line(bool show_extras_marker,
                                       const std::function<void(std::string_view)>& visit) const {
    const std::vector<Id> roots = root_ids();
    if (roots.empty()) throw ValueError("Dependency map only contains cycles.");

    Adjacency adjacency(*this);
    auto contains_sorted = [this](const std::vector<Id>* set, Id id) {
        return set && std::binary_search(set->begin(), set->end(), id,
                                         [this](Id a, Id b) { return text_less(a, b); });
    };

    // What a parent with extras needs to mark its children: the set of its
    // base package and the set of each of its single-extra variants.
    struct Marking {
        const std::vector<Id>* base = nullptr;
        std::vector<const std::vector<Id>*> variants;  // parallel to the extras
    };
    auto marking_of = [this](const Package& parent) {
        Marking marking;
        if (const std::optional<Id> base = find(parent.base())) {
            marking.base = &nodes_[*base].dependencies;
        }
        for (const std::string& extra : parent.extras()) {
            const std::optional<Id> variant = find(Package(parent.name(), {extra}));
            marking.variants.push_back(variant ? &nodes_[*variant].dependencies : nullptr);
        }
        return marking;
    };

    struct Frame {
        Id id;
        std::span<const Id> children;
        std::size_t next;
        std::size_t indent_size;
        std::optional<Marking> marking;
    };

    std::string line;
    std::string indent;
    std::vector<char> on_path(nodes_.size(), 0);  // the ancestors of the line being drawn
    std::vector<Frame> stack;
    auto open = [&](Id id) {
        on_path[id] = 1;
        const Package& package = nodes_[id].package;
        std::optional<Marking> marking;
        if (show_extras_marker && package.has_extras()) marking = marking_of(package);
        stack.push_back(Frame{id, adjacency.of(id), 0, indent.size(), std::move(marking)});
    };

    for (const Id root : roots) {
        visit(nodes_[root].package.to_string());
        indent.clear();
        open(root);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.children.size()) {
                on_path[frame.id] = 0;
                stack.pop_back();
                continue;
            }
            const Id child = frame.children[frame.next++];
            const bool last = frame.next == frame.children.size();
            indent.resize(frame.indent_size);
            line = indent;
            line += last ? LAST_BRANCH : BRANCH;
            line += nodes_[child].package.to_string();
            if (frame.marking && !contains_sorted(frame.marking->base, child)) {
                const Package& parent = nodes_[frame.id].package;
                line += "  => [";
                bool first = true;
                for (std::size_t i = 0; i < parent.extras().size(); ++i) {
                    if (!contains_sorted(frame.marking->variants[i], child)) continue;
                    if (!first) line += ',';
                    line += parent.extras()[i];
                    first = false;
                }
                line += ']';
            }
            visit(line);
            // A package that is its own ancestor closes a cycle: no children.
            if (on_path[child]) continue;
            indent += last ? BLANK : CONTINUATION;
            open(child);
        }
    }
}

}  // namespace quorl
