// The commands behind the command line, with their parsed arguments.
// The app (app.cpp) parses and validates the command line, then calls one of
// these; each lives in its own file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorl::cli {

// Where `resolve` writes the pinned file when no path is given (or an empty one).
inline constexpr const char* DEFAULT_RESOLVED_OUT = "resolved.txt";

struct ResolveArguments {
    // Absent on the command line: the product's runtime requirements file.
    std::optional<std::filesystem::path> requirements_in;
    std::filesystem::path resolved_out = DEFAULT_RESOLVED_OUT;
    std::vector<std::string> extra_index_urls;  // empty: the default indexes
    std::vector<std::string> trusted_domains;   // empty: the default host
    bool install = false;
};

// Which groups a command works on: `groups` and `why` choose them alike.
struct GroupSelectionArguments {
    std::filesystem::path resolved_reqs_path;
    std::vector<std::string> groups;          // raw "-g" group strings
    std::vector<std::string> extract_extras;  // "-e" package names
    bool release = false;
    std::optional<std::filesystem::path> excluded_packages_path;
};

// How `groups` prints what each group reaches.
enum class GroupsFormat { TEXT, JSON, DOT, MERMAID };

struct GroupsArguments : GroupSelectionArguments {
    GroupsFormat format = GroupsFormat::TEXT;
    bool graph = false;
    std::optional<int> depth;
    bool strict = false;  // a consistency warning fails the command
    // Where each printed group's bill of materials goes; none: not made.
    std::optional<std::filesystem::path> sbom_dir;
};

struct WhyArguments : GroupSelectionArguments {
    std::string package;  // the package asked about, by name
};

struct ReleaseArguments {
    std::filesystem::path resolved_reqs_path;
    std::filesystem::path release_out;
    std::optional<std::filesystem::path> excluded_packages_path;
    bool strict = false;  // a consistency warning fails the command
    // Where each release group's bill of materials goes; none: not made.
    std::optional<std::filesystem::path> sbom_dir;
};

// `resolve`: pin every transitive dependency of `requirements_in`.
void resolve_dependencies(const ResolveArguments& arguments);

// `groups`: print what each named group of root requirements reaches.
void generate_groups(const GroupsArguments& arguments);

// `why`: print, per group, the shortest chains from its roots to a package.
void why(const WhyArguments& arguments);

// `release`: write the pinned release groups as JSON.
void release(const ReleaseArguments& arguments);

}  // namespace quorl::cli
