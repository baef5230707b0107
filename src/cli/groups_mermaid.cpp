// The Mermaid document of `groups --format mermaid`: one flowchart, a
// subgraph per group, which code hosts render in Markdown. Node and subgraph
// ids are generated ("g0n1"), so no name can collide with a keyword such as
// "end"; names appear only in quoted labels.
#include <string>

#include "cli/groups_document.h"

namespace quorl::cli {
namespace {

// Text inside a quoted Mermaid label. A quote would end it and cannot be
// escaped with a backslash: Mermaid's entity codes stand for it. "#" starts
// such a code, a backtick right after the opening quote starts Markdown, and
// labels are rendered as HTML: each becomes its entity code too.
std::string mermaid_label(std::string_view text) {
    return label_text(text,
                      {{'"', "#quot;"}, {'#', "#35;"}, {'`', "#96;"}, {'<', "#lt;"}, {'>', "#gt;"}, {'&', "#amp;"}});
}

std::string node_id(std::size_t group, std::size_t package) {
    return "g" + std::to_string(group) + "n" + std::to_string(package);
}

class MermaidDocument : public GroupsDocument {
public:
    void start(StdoutWriter& out) override { out.line("flowchart TD"); }

    void add(const ReachedGroup& group, StdoutWriter& out) override {
        const std::size_t number = groups_++;
        out.line("  subgraph g" + std::to_string(number) + "[\"" + mermaid_label(*group.name) + "\"]");
        for (std::size_t i = 0; i < group.packages.size(); ++i) {
            const ReachedPackage& reached = group.packages[i];
            std::string label = mermaid_label(reached.package->to_string());
            if (reached.version) label += " " + mermaid_label(*reached.version);
            out.line("    " + node_id(number, i) + "[\"" + label + "\"]");
        }
        for (std::size_t i = 0; i < group.packages.size(); ++i) {
            for (const std::size_t dependency : group.packages[i].dependencies) {
                out.line("    " + node_id(number, i) + " --> " + node_id(number, dependency));
            }
        }
        out.line("  end");
    }

    void finish(StdoutWriter&) override {}

private:
    std::size_t groups_ = 0;
};

}  // namespace

std::unique_ptr<GroupsDocument> make_mermaid_document() { return std::make_unique<MermaidDocument>(); }

}  // namespace quorl::cli
