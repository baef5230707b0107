// The pinned side of requirement resolution: groups of requirement texts,
// their pinned form, and how a requirement finds its pinned version. The
// operations that read pinned files and pin groups are RequirementGenerator's
// (requirement_generator.h); pinned_requirements.cpp holds them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "resolution/generator_output.h"
#include "support/errors.h"
#include "support/ordered_map.h"

namespace quorl {

// Group name to requirement texts ("numpy", "numpy[develop]"), in order.
using RequirementGroups = OrderedMap<std::string, std::vector<std::string>>;
// Group or package name to pinned requirement texts ("numpy==1.19.2").
using PinnedGroups = OrderedMap<std::string, std::vector<std::string>>;

// Finds the pinned version of a requirement's base name: under its
// lower-case name, else under any key of the same canonical name ("PyYAML"
// pinned as "pyyaml"). The versions map must outlive the lookup.
class PinnedVersionLookup {
public:
    explicit PinnedVersionLookup(const VersionsMap& versions) : versions_(versions) {}

    // The version, or null when neither name is pinned.
    const std::string* find(const std::string& name);

private:
    const VersionsMap& versions_;
    std::unordered_map<std::string, const std::string*> by_canonical_;  // built on the first miss
};

// The error of a requirement of group `group_name` that `versions_source`
// (the pinned file; none: the versions given) does not pin.
KeyError unpinned_requirement_error(const std::string& requirement, const std::string& group_name,
                                    const std::optional<std::filesystem::path>& versions_source);

}  // namespace quorl
