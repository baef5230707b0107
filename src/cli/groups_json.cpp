// The JSON document of `groups --format json`; README shows its shape, which
// scripts rely on: members are only ever added.
#include <nlohmann/json.hpp>

#include "cli/groups_document.h"
#include "support/text.h"

namespace quorl::cli {
namespace {

using Json = nlohmann::ordered_json;

Json package_entry(const ReachedGroup& group, const ReachedPackage& reached) {
    Json dependencies = Json::array();
    for (const std::size_t i : reached.dependencies) dependencies.push_back(group.packages[i].package->to_string());
    Json entry;
    entry["package"] = reached.package->to_string();
    entry["name"] = reached.package->name();
    entry["extras"] = reached.package->extras();
    entry["version"] = reached.version ? Json(*reached.version) : Json(nullptr);
    entry["depth"] = reached.depth;
    entry["dependencies"] = std::move(dependencies);
    return entry;
}

class JsonDocument : public GroupsDocument {
public:
    explicit JsonDocument(const std::filesystem::path& resolved_path) {
        document_["resolved_file"] = resolved_path.string();
        document_["groups"] = Json::array();
    }

    void start(StdoutWriter&) override {}

    void add(const ReachedGroup& group, StdoutWriter&) override {
        Json roots = Json::array();
        for (const Package& root : *group.roots) roots.push_back(root.to_string());
        Json packages = Json::array();
        for (const ReachedPackage& reached : group.packages) packages.push_back(package_entry(group, reached));
        Json entry;
        entry["name"] = *group.name;
        entry["roots"] = std::move(roots);
        entry["packages"] = std::move(packages);
        document_["groups"].push_back(std::move(entry));
    }

    void finish(StdoutWriter& out) override {
        // ASCII only, like the release file; bytes that are not UTF-8 become
        // U+FFFD rather than failing after all the work is done.
        // Pure ASCII: "\n" is its only line break.
        text::for_each_line(document_.dump(2, ' ', true, Json::error_handler_t::replace),
                            [&out](std::string_view line) { out.line(line); });
    }

private:
    Json document_;
};

}  // namespace

std::unique_ptr<GroupsDocument> make_json_document(const std::filesystem::path& resolved_path) {
    return std::make_unique<JsonDocument>(resolved_path);
}

}  // namespace quorl::cli
