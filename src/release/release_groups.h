// The release group configuration: the fixed groups every release carries,
// before the groups made from the extras of the model library package. The
// group side of PackageExtrasManager (release_groups, process_groups, ...;
// package_extras_manager.h) is defined in release_groups.cpp.
#pragma once

#include <string>
#include <vector>

namespace quorl {

struct FixedReleaseGroup {
    const char* name;
    std::vector<std::string> roots;  // requirement strings
};

// The five fixed release groups, in release order.
const std::vector<FixedReleaseGroup>& fixed_release_groups();

}  // namespace quorl
