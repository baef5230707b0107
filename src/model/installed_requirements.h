// What the installed environment's requirement lines say beyond the graph:
// versions and version specifiers, for checks of the environment against
// itself and against pinned files. Filled while the dependency map is read,
// so that nothing is listed or parsed twice.
#pragma once

#include <string>
#include <vector>

namespace quorl {

struct InstalledRequirement {
    std::string line;        // as the metadata writes it
    std::string target_key;  // canonical name of the required distribution
    std::string specifier;   // version clauses ("" for none or a URL)
};

struct InstalledDistribution {
    std::string key;      // canonical name
    std::string version;  // as the metadata writes it; empty when absent
    // The requirements installed for the distribution itself: those without
    // a marker or whose marker holds without an extra, in declaration order.
    std::vector<InstalledRequirement> requirements;
};

using InstalledRequirements = std::vector<InstalledDistribution>;

}  // namespace quorl
