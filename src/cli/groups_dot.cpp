// The Graphviz document of `groups --format dot`: one digraph, a cluster per
// group. Node names are generated ("g0_1"); package and group names appear
// only in quoted labels, so no name can break the syntax.
#include <string>

#include "cli/groups_document.h"

namespace quorl::cli {
namespace {

// Text inside a quoted DOT label. Labels read the backslash as an escape
// ("\N" is the node's name, "\l" a line end), and a quote ends them.
std::string dot_label(std::string_view text) { return label_text(text, {{'\\', "\\\\"}, {'"', "\\\""}}); }

std::string node_id(std::size_t group, std::size_t package) {
    return "g" + std::to_string(group) + "_" + std::to_string(package);
}

class DotDocument : public GroupsDocument {
public:
    void start(StdoutWriter& out) override {
        out.line("digraph groups {");
        out.line("  node [shape=box];");
    }

    void add(const ReachedGroup& group, StdoutWriter& out) override {
        const std::size_t number = groups_++;
        out.line("  subgraph cluster_" + std::to_string(number) + " {");
        out.line("    label=\"" + dot_label(*group.name) + "\";");
        for (std::size_t i = 0; i < group.packages.size(); ++i) {
            const ReachedPackage& reached = group.packages[i];
            std::string label = dot_label(reached.package->to_string());
            if (reached.version) label += "\\n" + dot_label(*reached.version);  // a line break in the box
            out.line("    " + node_id(number, i) + " [label=\"" + label + "\"];");
        }
        for (std::size_t i = 0; i < group.packages.size(); ++i) {
            for (const std::size_t dependency : group.packages[i].dependencies) {
                out.line("    " + node_id(number, i) + " -> " + node_id(number, dependency) + ";");
            }
        }
        out.line("  }");
    }

    void finish(StdoutWriter& out) override { out.line("}"); }

private:
    std::size_t groups_ = 0;
};

}  // namespace

std::unique_ptr<GroupsDocument> make_dot_document() { return std::make_unique<DotDocument>(); }

}  // namespace quorl::cli
