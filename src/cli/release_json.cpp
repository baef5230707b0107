#include "cli/release_json.h"

#include <nlohmann/json.hpp>

namespace quorl::cli {

std::string release_json_text(const PinnedGroups& pinned) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const auto& [name, lines] : pinned) document[name] = lines;
    return document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quorl::cli
