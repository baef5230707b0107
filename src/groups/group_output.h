// GroupOutput: a group's name with the complete, ordered set of requirement
// strings it reaches (shallowest first, each once).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/ordered_set.h"

namespace quorl {

class GroupOutput {
public:
    static constexpr std::string_view NAME_DESCRIPTION = "Name of the group.";
    static constexpr std::string_view REQS_DESCRIPTION =
        "Complete set of required packages by the packages specified in the group.";

    // `reqs` keeps its given order; a repeated string keeps its first place.
    GroupOutput(std::string name_, OrderedSet<std::string> reqs_) : name(std::move(name_)), reqs(std::move(reqs_)) {}
    GroupOutput(std::string name_, const std::vector<std::string>& reqs_)
        : name(std::move(name_)), reqs(check_reqs(reqs_)) {}

    static OrderedSet<std::string> check_reqs(const std::vector<std::string>& reqs) {
        return OrderedSet<std::string>(reqs);
    }

    // Plain fields: assignments after construction are not checked again.
    std::string name;
    OrderedSet<std::string> reqs;
};

}  // namespace quorl
