#include "cli/group_string.h"

#include "support/errors.h"
#include "support/text.h"

namespace quorl::cli {

GroupInput parse_group_str(const std::filesystem::path& requirements_path, std::string_view group_str) {
    const std::vector<std::string> pieces = text::split(group_str, ":");
    if (pieces.size() < 2) {
        throw ValueError("not enough values to unpack (expected 2, got " + std::to_string(pieces.size()) + ")");
    }
    if (pieces.size() > 2) throw ValueError("too many values to unpack (expected 2)");
    std::vector<std::string> requirements;
    for (const std::string& piece : text::split(pieces[1], ",")) {
        requirements.emplace_back(text::strip_unicode_space(piece));
    }
    return GroupInput(requirements_path, std::string(text::strip_unicode_space(pieces[0])), std::move(requirements));
}

}  // namespace quorl::cli
