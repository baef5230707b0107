// DependencyMap::TreeText: draws a map as text trees, one per root, a line
// at a time. A graph of shared dependencies prints each of them under every
// parent, so the text can be far larger than the map (2^k lines for a chain
// of k diamonds): nothing but the current path is held, and an explicit
// stack keeps a long dependency chain from exhausting the call stack.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/dependency_map.h"
#include "model/dependency_sub_graph.h"

namespace quorl {

class DependencyMap::TreeText {
public:
    // Draws `view`, the whole map or one group's part of it.
    TreeText(const DependencyMap& map, SubGraph& view, bool show_extras_marker);

    // Calls `visit` with every line, without line breaks, in order; the
    // text is valid during the call only. Names and extras are shown with
    // control characters escaped (support/printable.h), which valid ones
    // never hold, so the lines can go to a terminal as they are. Throws ValueError "Dependency map
    // only contains cycles." before the first line when there are no roots.
    void for_each_line(const std::function<void(std::string_view)>& visit);

private:
    // What a parent with extras needs to mark its children: the set of its
    // base package and the set of each of its single-extra variants.
    struct Marking {
        std::optional<std::span<const Id>> base;
        std::vector<std::optional<std::span<const Id>>> variants;  // parallel to the extras
    };
    struct Frame {
        Id id;
        std::span<const Id> children;
        std::size_t next;
        std::size_t indent_size;
        std::optional<Marking> marking;
    };

    void draw(Id root, const std::function<void(std::string_view)>& visit);
    void open(Id id);
    Marking marking_of(const Package& parent);
    void append_marker(const Frame& frame, Id child);
    bool in_set(const std::optional<std::span<const Id>>& set, Id child) const;

    const DependencyMap& map_;
    SubGraph& view_;
    bool show_extras_marker_;
    std::string line_;
    std::string indent_;
    std::vector<char> on_path_;  // the ancestors of the line being drawn
    std::vector<Frame> stack_;
};

}  // namespace quorl
