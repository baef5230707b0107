#include "resolution/resolved_pins.h"

#include "environment/interpreter_facts.h"
#include "support/pure_path.h"

namespace quorl {

bool is_lock_file_name(const std::filesystem::path& path) {
    constexpr std::string_view PREFIX = "pylock.", SUFFIX = ".toml";
    const std::string name = pure_path::name(path);
    if (name == "pylock.toml") return true;
    if (name.size() <= PREFIX.size() + SUFFIX.size() || !name.starts_with(PREFIX) || !name.ends_with(SUFFIX)) {
        return false;
    }
    const std::string_view label =
        std::string_view(name).substr(PREFIX.size(), name.size() - PREFIX.size() - SUFFIX.size());
    return label.find('.') == std::string_view::npos;
}

ResolvedPins read_resolved_pins(const std::filesystem::path& file, const MarkerSource& markers) {
    return is_lock_file_name(file) ? read_lock_file(file, markers) : read_pinned_requirements_file(file, markers);
}

ResolvedPins read_resolved_pins(const std::filesystem::path& file) {
    return read_resolved_pins(file, []() -> const MarkerValues& { return current_interpreter_facts().markers; });
}

}  // namespace quorl
