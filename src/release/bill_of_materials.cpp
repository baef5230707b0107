#include "release/bill_of_materials.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "pep/canonical_name.h"
#include "release/indented_json_writer.h"
#include "release/spdx_license_ids.h"
#include "resolution/requirement_generator.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/sha1.h"
#include "support/text.h"
#include "support/url_credentials.h"

namespace quorl {
namespace {

using namespace std::string_view_literals;
using Json = nlohmann::ordered_json;

constexpr const char* TOOL_NAME = "quorl-python-dependencies";
// Where the group's own entry points: purls start with "pkg:", so no
// distribution's reference can be this.
constexpr std::string_view GROUP_REF_PREFIX = "group:";

std::string group_ref(const std::string& group_name) { return std::string(GROUP_REF_PREFIX) + group_name; }
// A free-text License header is often the whole licence text; a name that
// long helps no reader of the document.
constexpr std::size_t LICENSE_NAME_CODE_POINTS = 100;
// Room for the ".cdx.json" suffix in a file name of at most 255 bytes.
constexpr std::size_t LONGEST_ENCODED_NAME = 200;

// The distribution's name as the purl type for PyPI spells it: lower case,
// "_" as "-".
std::string purl_of(std::string_view name, const std::string* version) {
    std::string purl_name = text::replace_all(text::to_lower_ascii(name), "_", "-");
    std::string purl = "pkg:pypi/" + percent_encode(purl_name);
    if (version) purl += "@" + percent_encode(*version);
    return purl;
}

// At most `count` code points of valid UTF-8 `text`, with "..." when cut.
std::string cut_to_code_points(std::string_view value, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < value.size(); ++at) {
        const bool starts_code_point = (static_cast<unsigned char>(value[at]) & 0xC0) != 0x80;
        if (starts_code_point && seen++ == count) return std::string(value.substr(0, at)) + "...";
    }
    return std::string(value);
}

// One entry of "licenses": an SPDX expression, or a licence by id or by name.
struct License {
    const char* kind;  // "expression", "id" or "name"
    std::string value;
};

// PEP 639's expression first; else the classifiers' SPDX identifiers; else
// the License header as a name; else the classifiers' own words.
std::vector<License> licenses_of(const DistributionDetails& details) {
    if (details.license_expression) return {License{"expression", *details.license_expression}};
    std::vector<License> licenses;
    std::set<std::string_view> ids;
    for (const std::string& classifier : details.license_classifiers) {
        const std::optional<std::string_view> id = spdx_id_of_classifier(classifier);
        if (id && ids.insert(*id).second) licenses.push_back(License{"id", std::string(*id)});
    }
    if (!licenses.empty()) return licenses;
    // Old setuptools wrote "UNKNOWN" for a missing licence.
    if (details.license && *details.license != "UNKNOWN") {
        // Its first line: the field often holds a licence's whole text.
        const std::string_view license = *details.license;
        const std::string_view first_line = license.substr(0, text::find_line_break(license, 0).at);
        return {License{"name", cut_to_code_points(text::strip(first_line), LICENSE_NAME_CODE_POINTS)}};
    }
    for (const std::string& classifier : details.license_classifiers) {
        const std::size_t last = classifier.rfind(" :: ");
        licenses.push_back(License{"name", classifier.substr(last + 4)});
    }
    return licenses;
}

void write_licenses(IndentedJsonWriter& json, const std::vector<License>& licenses) {
    json.begin_array();
    for (const License& license : licenses) {
        json.begin_object();
        if (std::string_view(license.kind) == "expression") {
            json.string_member("expression", license.value);
        } else {
            json.key("license");
            json.begin_object();
            json.string_member(license.kind, license.value);
            json.end_object();
        }
        json.end_object();
    }
    json.end_array();
}

// The external-reference type a Project-URL label stands for.
const char* reference_type(std::string_view label) {
    std::string key;
    for (const char c : label) {
        if (text::is_ascii_alnum(c)) key += text::to_lower_ascii(c);
    }
    static const std::vector<std::pair<std::vector<std::string_view>, const char*>> TYPES = {
        {{"homepage", "home", "website"}, "website"},
        {{"source", "sourcecode", "repository", "code", "github", "gitlab"}, "vcs"},
        {{"documentation", "docs"}, "documentation"},
        {{"issues", "bugtracker", "tracker", "bugreports", "issuetracker", "bugs"}, "issue-tracker"},
        {{"changelog", "changes", "releasenotes", "history"}, "release-notes"},
        {{"download"}, "distribution"},
    };
    for (const auto& [labels, type] : TYPES) {
        for (const std::string_view known : labels) {
            if (key == known) return type;
        }
    }
    return "other";
}

struct Reference {
    std::string_view url;
    std::string_view type;
    std::string_view label;  // empty: none
};

// A reference only for text that can be a URL: no white space or control
// characters inside.
void add_reference(std::vector<Reference>& references, std::string_view url, std::string_view type,
                   std::string_view label) {
    url = text::strip(url);
    if (url.empty()) return;
    for (const char c : url) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return;
    }
    for (const Reference& existing : references) {
        if (existing.url == url && existing.type == type) return;
    }
    references.push_back(Reference{url, type, label});
}

// Views of `details`, which must outlive them.
std::vector<Reference> references_of(const DistributionDetails& details) {
    std::vector<Reference> references;
    if (details.home_page) add_reference(references, *details.home_page, "website", "Home-page");
    for (const std::string& project_url : details.project_urls) {
        // "Label, URL"; a value without the label is the URL alone.
        const std::size_t comma = project_url.find(',');
        const std::string_view value(project_url);
        if (comma == std::string::npos) {
            add_reference(references, value, "other", "");
            continue;
        }
        const std::string_view label = text::strip(value.substr(0, comma));
        add_reference(references, value.substr(comma + 1), reference_type(label), label);
    }
    return references;
}

void write_references(IndentedJsonWriter& json, const std::vector<Reference>& references) {
    json.begin_array();
    for (const Reference& reference : references) {
        json.begin_object();
        json.string_member("url", reference.url);
        json.string_member("type", reference.type);
        if (!reference.label.empty()) json.string_member("comment", reference.label);
        json.end_object();
    }
    json.end_array();
}

std::string iso_8601(std::time_t time) {
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

// A name-based (version 5) UUID of `content`, in the URL namespace, as a URN.
std::string content_uuid(std::string_view content) {
    static constexpr std::uint8_t URL_NAMESPACE[16] = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                                       0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
    Sha1 hash;
    hash.update(std::string_view(reinterpret_cast<const char*>(URL_NAMESPACE), sizeof URL_NAMESPACE));
    hash.update(content);
    Sha1Digest digest = hash.finish();
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x50);
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    const std::string digits = hex(digest);
    return "urn:uuid:" + digits.substr(0, 8) + '-' + digits.substr(8, 4) + '-' + digits.substr(12, 4) + '-' +
           digits.substr(16, 4) + '-' + digits.substr(20, 12);
}

std::string dumped(const Json& json) { return json.dump(2, ' ', true, Json::error_handler_t::replace); }

}  // namespace

namespace {

template <typename Iterator>
Iterator sorted_unique(Iterator begin, Iterator end) {
    std::sort(begin, end);
    return std::unique(begin, end);
}

std::optional<std::size_t> node_named(const GroupGraph& graph, std::string_view name) {
    const auto found = std::lower_bound(graph.names.begin(), graph.names.end(), name);
    if (found == graph.names.end() || *found != name) return std::nullopt;
    return static_cast<std::size_t>(found - graph.names.begin());
}

using PackageGraph = DependencyMap::SubMapView::PackageGraph;

// Each node's requirements, end to end in node order: the edges of the
// packages of its name (a run of `in_order`) but its own, each once,
// ascending.
void fold_edges(const PackageGraph& packages, const std::vector<std::size_t>& in_order,
                const std::vector<std::size_t>& node_of, GroupGraph& graph) {
    graph.first.reserve(graph.size() + 1);
    graph.requirements.reserve(packages.dependencies.size());
    std::size_t run = 0;
    for (std::size_t node = 0; node < graph.size(); ++node) {
        const std::size_t start = graph.requirements.size();
        graph.first.push_back(start);
        for (; run < in_order.size() && node_of[in_order[run]] == node; ++run) {
            for (const std::size_t dependency : packages.dependencies_of(in_order[run])) {
                if (node_of[dependency] != node) graph.requirements.push_back(node_of[dependency]);
            }
        }
        graph.requirements.erase(
            sorted_unique(graph.requirements.begin() + static_cast<std::ptrdiff_t>(start), graph.requirements.end()),
            graph.requirements.end());
    }
    graph.first.push_back(graph.requirements.size());
}

}  // namespace

GroupGraphs::GroupGraphs(const DependencyMap& map) : name_ranks_(map.name_ranks()) {}

// A counting sort by the map's name ranks: linear in the map's names, where
// sorting each group's names compared them again and again.
std::vector<std::size_t> GroupGraphs::in_name_order(const PackageGraph& packages) const {
    std::vector<std::size_t> starts(name_ranks_.size() + 1, 0);
    for (const std::uint32_t id : packages.ids) ++starts[name_ranks_[id] + 1];
    for (std::size_t rank = 1; rank < starts.size(); ++rank) starts[rank] += starts[rank - 1];
    std::vector<std::size_t> in_order(packages.packages.size());
    for (std::size_t i = 0; i < packages.ids.size(); ++i) in_order[starts[name_ranks_[packages.ids[i]]]++] = i;
    return in_order;
}

// Gathered by position rather than by name: hashing and sorting names per
// edge, and a string made per edge, took most of the bills' time.
GroupGraph GroupGraphs::of(DependencyMap::SubMapView& view, const std::vector<Package>& roots) const {
    const PackageGraph packages = view.package_graph();
    const std::vector<std::size_t> in_order = in_name_order(packages);
    // A package stands for its distribution, whatever extras it carries.
    GroupGraph graph;
    std::vector<std::size_t> node_of(in_order.size());
    std::uint32_t last_rank = 0;
    for (const std::size_t package : in_order) {
        const std::uint32_t rank = name_ranks_[packages.ids[package]];
        if (graph.names.empty() || rank != last_rank) graph.names.push_back(packages.packages[package]->name());
        last_rank = rank;
        node_of[package] = graph.size() - 1;
    }
    fold_edges(packages, in_order, node_of, graph);
    for (const Package& root : view.roots()) {
        if (const std::optional<std::size_t> node = node_named(graph, root.name()))
            graph.group_requires.push_back(*node);
    }
    for (const Package& root : roots) {
        if (const std::optional<std::size_t> node = node_named(graph, canonical_name(root.name()))) {
            graph.group_requires.push_back(*node);
        }
    }
    graph.group_requires.erase(sorted_unique(graph.group_requires.begin(), graph.group_requires.end()),
                               graph.group_requires.end());
    return graph;
}

std::string bill_of_materials_file_name(const std::string& group_name) {
    std::string name = percent_encode(group_name, "");
    // "~" is unreserved in URLs but has a meaning to shells.
    name = text::replace_all(name, "~", "%7E");
    // A lone "%" is what no encoded name can be: the empty name's own.
    if (name.empty()) name = "%";
    if (name.front() == '.') name = "%2E" + name.substr(1);
    if (name.size() > LONGEST_ENCODED_NAME) {
        name = name.substr(0, LONGEST_ENCODED_NAME - 17) + "-" + hex(sha1(group_name)).substr(0, 16);
    }
    return name + ".cdx.json";
}

std::time_t bill_of_materials_time() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr) return std::time(nullptr);
    constexpr long long LAST_SECOND_OF_9999 = 253402300799;
    errno = 0;
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (*epoch == '\0' || *end != '\0' || errno != 0 || seconds < 0 || seconds > LAST_SECOND_OF_9999) {
        throw ValueError("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, not '" + std::string(epoch) +
                         "'");
    }
    return static_cast<std::time_t>(seconds);
}

namespace {

// A component's entry of "components", as written there (two levels deep).
// Written into `scratch` (whose room serves every entry: grown from empty,
// each entry's text was copied half a dozen times), and returned at its
// own size, as it is kept for the whole run.
std::string component_text(std::string& scratch, std::string_view ref, std::string_view name,
                           const std::string* version, const DistributionDetails* details) {
    std::string& text = scratch;
    text.clear();
    IndentedJsonWriter json(text, 2);
    json.begin_object();
    json.string_member("type", "library");
    json.string_member("bom-ref", ref);
    json.string_member("name", name);
    if (version) json.string_member("version", *version);
    if (details && details->summary) json.string_member("description", *details->summary);
    if (details) {
        const std::vector<License> licenses = licenses_of(*details);
        if (!licenses.empty()) {
            json.key("licenses");
            write_licenses(json, licenses);
        }
    }
    json.string_member("purl", ref);
    if (details) {
        const std::vector<Reference> references = references_of(*details);
        if (!references.empty()) {
            json.key("externalReferences");
            write_references(json, references);
        }
    }
    json.end_object();
    return std::string(text);
}

Json group_component(const std::string& group_name, const std::vector<std::string>& roots) {
    Json properties = Json::array();
    for (const std::string& root : roots) properties.push_back(Json{{"name", "quorl:root"}, {"value", root}});
    Json component{{"type", "application"}, {"bom-ref", group_ref(group_name)}, {"name", group_name}};
    if (!properties.empty()) component["properties"] = std::move(properties);
    return component;
}

Json metadata_json(const std::string& timestamp, const Json& group) {
    Json tool{{"type", "application"}, {"name", TOOL_NAME}, {"version", QUORL_VERSION}};
    return Json{{"timestamp", timestamp}, {"tools", Json{{"components", Json::array({tool})}}}, {"component", group}};
}

// `json` dumped as the 2-space layout writes it `level` levels deep (its
// first line not indented).
std::string nested(const Json& json, std::size_t level) {
    return text::replace_all(dumped(json), "\n", "\n" + std::string(2 * level, ' '));
}

// What comes before each item of a "dependsOn" list, three levels deep, but
// the first (whose comma is left out).
constexpr std::string_view DEPENDS_ON_INDENT = ",\n        ";

// A JSON array of already written values, `level` levels deep, as a 2-space
// dump lays it out.
template <typename Range, typename Write>
void append_array(std::string& out, const Range& values, std::size_t level, Write write) {
    if (values.empty()) {
        out += "[]"sv;
        return;
    }
    const std::string indent(2 * (level + 1), ' ');
    out += "[\n"sv;
    bool first = true;
    for (const auto& value : values) {
        if (!first) out += ",\n"sv;
        first = false;
        out += indent;
        write(value);
    }
    out += '\n';
    out.append(2 * level, ' ');
    out += ']';
}

}  // namespace

BillOfMaterialsBuilder::BillOfMaterialsBuilder(const VersionsMap& versions, std::filesystem::path pinned_file,
                                               const InstalledDistributionReader& reader)
    : versions_(versions),
      pinned_file_(std::move(pinned_file)),
      reader_(reader),
      timestamp_(iso_8601(bill_of_materials_time())) {}

const BillOfMaterialsBuilder::Component& BillOfMaterialsBuilder::component(std::string_view name_viewed,
                                                                           const std::string& group_name) {
    if (const auto found = components_.find(name_viewed); found != components_.end()) return found->second;
    std::string name(name_viewed);
    const DistributionDetails* details = reader_.details_of(name);
    const std::string* version = versions_.find(name);
    if (version == nullptr) {
        if (std::count(RequirementGenerator::NO_VERSION_PACKAGES.begin(),
                       RequirementGenerator::NO_VERSION_PACKAGES.end(), name) == 0) {
            throw unpinned_requirement_error(name, group_name, pinned_file_);
        }
        // Never pinned by a release: what is installed is what ships.
        if (details && details->version) version = &*details->version;
    }
    const auto entry = components_.emplace(std::move(name), Component{}).first;
    // Written once: the groups of a release share most of their components.
    Component& component = entry->second;
    const std::string_view spelt = details ? std::string_view(details->name) : std::string_view(entry->first);
    const std::string ref = purl_of(spelt, version);
    component.quoted_ref = json_string(ref);
    component.depends_on_item.reserve(DEPENDS_ON_INDENT.size() + component.quoted_ref.size());
    component.depends_on_item.append(DEPENDS_ON_INDENT).append(component.quoted_ref);
    component.text = component_text(scratch_, ref, spelt, version, details);
    component.digest = sha1(component.text);
    return component;
}

// What a document says besides its moment, in far fewer bytes than its
// text: the group's entry, then each component's digest; every list of
// requirements as its length and the positions it names, four bytes each
// (the components' order and references follow from their digests).
void BillOfMaterialsBuilder::fingerprint(std::string& into, std::string_view group_json, const GroupGraph& graph,
                                         const std::vector<const Component*>& members) {
    const auto append_number = [&into](std::size_t number) {
        char bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
        into.append(bytes, sizeof bytes);
    };
    const auto append_list = [&](std::span<const std::size_t> positions) {
        append_number(positions.size());
        for (const std::size_t position : positions) append_number(position);
    };
    into.clear();
    into.reserve(group_json.size() + 24 * graph.size() + 4 * graph.requirements.size());
    into.append(group_json);
    append_list(graph.group_requires);
    for (std::size_t i = 0; i < graph.size(); ++i) {
        into.append(reinterpret_cast<const char*>(members[i]->digest.data()), members[i]->digest.size());
        append_list(graph.requires_of(i));
    }
}

std::vector<const BillOfMaterialsBuilder::Component*> BillOfMaterialsBuilder::members_of(const std::string& group_name,
                                                                                         const GroupGraph& graph) {
    std::vector<const Component*> members;
    members.reserve(graph.size());
    for (const std::string_view name : graph.names) members.push_back(&component(name, group_name));
    return members;
}

// Laid out as a 2-space dump of the whole document would be, from pieces
// written once per distribution: building and dumping one tree per
// document cost several times the release itself.
void BillOfMaterialsBuilder::lay_out(const GroupBill& bill, const std::vector<const Component*>& members,
                                     Document& document) const {
    const GroupGraph& graph = bill.graph;
    // Room for the whole text at once, as growing a string of megabytes
    // copied it again and again.
    std::size_t size = 1024;
    for (std::size_t i = 0; i < graph.size(); ++i) {
        size += (graph.requires_of(i).size() + 2) * (members[i]->quoted_ref.size() + 16);
    }
    const Json group = group_component(bill.name, bill.roots);
    // Named after everything but the moment, so that the same release gives
    // the same number whenever it is made.
    fingerprint(document.fingerprint, dumped(group), graph, members);
    const std::string serial = content_uuid(document.fingerprint);
    std::string& text = document.text;
    text.clear();
    text.reserve(size);
    document.entries.clear();
    text += "{\n  \"bomFormat\": \"CycloneDX\",\n  \"specVersion\": \"1.6\",\n  \"serialNumber\": \""sv;
    text += serial + "\",\n  \"version\": 1,\n  \"metadata\": " + nested(metadata_json(timestamp_, group), 1);
    text += ",\n  \"components\": "sv;
    append_array(text, members, 1,
                 [&](const Component* member) { document.entries.emplace_back(text.size(), &member->text); });
    text += ",\n  \"dependencies\": "sv;
    const auto write_dependency = [&](const std::string& quoted_ref, std::span<const std::size_t> depends_on) {
        text += "{\n      \"ref\": "sv;
        text += quoted_ref;
        text += ",\n      \"dependsOn\": "sv;
        if (depends_on.empty()) {
            text += "[]"sv;
        } else {
            // The list as append_array lays it out three levels deep.
            text += '[';
            text += std::string_view(members[depends_on.front()]->depends_on_item).substr(1);  // no comma
            for (const std::size_t required : depends_on.subspan(1)) text += members[required]->depends_on_item;
            text += "\n      ]"sv;
        }
        text += "\n    }"sv;
    };
    const std::string quoted_group_ref = json_string(group_ref(bill.name));
    std::vector<std::pair<const std::string*, std::span<const std::size_t>>> entries{
        {&quoted_group_ref, graph.group_requires}};
    for (std::size_t i = 0; i < graph.size(); ++i) entries.emplace_back(&members[i]->quoted_ref, graph.requires_of(i));
    append_array(text, entries, 1, [&](const auto& entry) { write_dependency(*entry.first, entry.second); });
    text += "\n}\n"sv;
    document.pieces.clear();
    std::size_t from = 0;
    for (const auto& [at, entry] : document.entries) {
        document.pieces.push_back(std::string_view(text).substr(from, at - from));
        document.pieces.push_back(*entry);
        from = at;
    }
    document.pieces.push_back(std::string_view(text).substr(from));
}

namespace {

void make_bill_of_materials_directory(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory)) {
        throw OsError("Cannot write the bills of materials into " + directory.string() + ": " +
                      (error ? error.message() : "not a directory"));
    }
}

}  // namespace

void BillOfMaterialsBuilder::look_up(const std::vector<GroupBill>& groups) {
    members_.clear();
    members_.reserve(groups.size());
    for (const GroupBill& group : groups) members_.push_back(members_of(group.name, group.graph));
}

void BillOfMaterialsBuilder::write(const std::filesystem::path& directory, const std::vector<GroupBill>& groups) {
    if (members_.size() != groups.size()) look_up(groups);
    const std::vector<std::vector<const Component*>>& members = members_;
    make_bill_of_materials_directory(directory);
    // One buffer for every document, its room kept: fresh megabytes for each
    // document were memory the system handed over again page by page.
    Document buffer;
    // All or none: a failure halfway leaves the previous set of documents
    // whole, not some of them replaced.
    files::Replacements documents;
    for (std::size_t group = 0; group < groups.size(); ++group) {
        lay_out(groups[group], members[group], buffer);
        documents.add(directory / bill_of_materials_file_name(groups[group].name), buffer.pieces);
    }
    documents.commit();
}

}  // namespace quorl
