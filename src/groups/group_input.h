// GroupInput: a named group of root requirement strings, with the resolved
// requirements file it belongs to. Fields are checked on construction and on
// every assignment.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

// Warns through the application logger when `extra` holds an underscore
// (extra and group names should be kebab-case). Returns it unchanged.
const std::string& validate_extra_name(const std::string& extra);

class GroupInput {
public:
    static constexpr std::string_view REQUIREMENTS_PATH_DESCRIPTION =
        "Path to the requirements file used for group resolution";
    static constexpr std::string_view NAME_DESCRIPTION = "Name of the group.";
    static constexpr std::string_view GROUPS_DESCRIPTION =
        "Group elements (names of the packages that are contained in the group)";

    GroupInput(std::filesystem::path requirements_path, std::string name, std::vector<std::string> groups);

    const std::filesystem::path& requirements_path() const { return requirements_path_; }
    const std::string& name() const { return name_; }
    const std::vector<std::string>& groups() const { return groups_; }

    void set_requirements_path(std::filesystem::path path) { requirements_path_ = std::move(path); }
    // Runs the name check again.
    void set_name(std::string name);
    void set_groups(std::vector<std::string> groups) { groups_ = std::move(groups); }

private:
    static std::string name_should_be_valid_extra(std::string name);

    std::filesystem::path requirements_path_;
    std::string name_;
    std::vector<std::string> groups_;
};

}  // namespace quorl
