#include "cli/release_json.h"

#include <nlohmann/json.hpp>

namespace quorl::cli {

std::string release_json_text(const PinnedGroups& pinned) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    // The mapping's keys are unique already, so members are appended as they
    // come: ordered_json's own insertion searches the members linearly, which
    // made a pinned file of n packages cost n²/2 key comparisons.
    nlohmann::ordered_json::object_t& members = document.get_ref<nlohmann::ordered_json::object_t&>();
    members.reserve(pinned.size());
    for (const auto& [name, lines] : pinned) members.emplace_back(name, lines);
    return document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quorl::cli
