// The dependency map as text trees.
#include "model/dependency_tree_text.h"

#include <algorithm>

#include "support/errors.h"
#include "support/printable.h"

namespace quorl {
namespace {

constexpr std::string_view BRANCH = "\u251c\u2500\u2500 ";       // "├── "
constexpr std::string_view LAST_BRANCH = "\u2514\u2500\u2500 ";  // "└── "
constexpr std::string_view CONTINUATION = "\u2502   ";           // "│   "
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
    SubGraph whole(*this);
    TreeText(*this, whole, show_extras_marker).for_each_line(visit);
}

DependencyMap::TreeText::TreeText(const DependencyMap& map, SubGraph& view, bool show_extras_marker)
    : map_(map), view_(view), show_extras_marker_(show_extras_marker), on_path_(map.nodes_.size(), 0) {}

void DependencyMap::TreeText::for_each_line(const std::function<void(std::string_view)>& visit) {
    const std::vector<Id> roots = view_.roots();
    if (roots.empty()) throw ValueError("Dependency map only contains cycles.");
    for (const Id root : roots) draw(root, visit);
}

void DependencyMap::TreeText::draw(Id root, const std::function<void(std::string_view)>& visit) {
    line_.clear();
    append_escaped_controls(line_, map_.nodes_[root].package.to_string());
    visit(line_);
    indent_.clear();
    open(root);
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        if (frame.next == frame.children.size()) {
            on_path_[frame.id] = 0;
            stack_.pop_back();
            continue;
        }
        const Id child = frame.children[frame.next++];
        const bool last = frame.next == frame.children.size();
        indent_.resize(frame.indent_size);
        line_ = indent_;
        line_ += last ? LAST_BRANCH : BRANCH;
        append_escaped_controls(line_, map_.nodes_[child].package.to_string());
        if (frame.marking) append_marker(frame, child);
        visit(line_);
        // A package that is its own ancestor closes a cycle: no children.
        if (on_path_[child]) continue;
        indent_ += last ? BLANK : CONTINUATION;
        open(child);
    }
}

void DependencyMap::TreeText::open(Id id) {
    on_path_[id] = 1;
    const Package& package = map_.nodes_[id].package;
    std::optional<Marking> marking;
    if (show_extras_marker_ && package.has_extras()) marking = marking_of(package);
    stack_.push_back(Frame{id, view_.dependencies_of(id), 0, indent_.size(), std::move(marking)});
}

DependencyMap::TreeText::Marking DependencyMap::TreeText::marking_of(const Package& parent) {
    Marking marking;
    if (const std::optional<Id> base = view_.find(parent.base())) marking.base = view_.set_of(*base);
    for (const std::string& extra : parent.extras()) {
        const std::optional<Id> variant = view_.find(Package(parent.name(), {extra}));
        marking.variants.push_back(variant ? std::optional(view_.set_of(*variant)) : std::nullopt);
    }
    return marking;
}

// "  => [x,y]": the parent's extras that bring in a child its base package
// does not have.
void DependencyMap::TreeText::append_marker(const Frame& frame, Id child) {
    if (in_set(frame.marking->base, child)) return;
    const Package& parent = map_.nodes_[frame.id].package;
    line_ += "  => [";
    bool first = true;
    for (std::size_t i = 0; i < parent.extras().size(); ++i) {
        if (!in_set(frame.marking->variants[i], child)) continue;
        if (!first) line_ += ',';
        append_escaped_controls(line_, parent.extras()[i]);
        first = false;
    }
    line_ += ']';
}

bool DependencyMap::TreeText::in_set(const std::optional<std::span<const Id>>& set, Id child) const {
    return set &&
           std::binary_search(set->begin(), set->end(), child, [this](Id a, Id b) { return map_.text_less(a, b); });
}

}  // namespace quorl
