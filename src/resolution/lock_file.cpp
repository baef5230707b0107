// PEP 751 lock files read as the pins of a release (resolved_pins.h).
#include <toml++/toml.h>

#include <unordered_map>

#include "pep/canonical_name.h"
#include "resolution/resolved_pins.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/text.h"

namespace quorl {
namespace {

// The only major version of the format there is; a later major may change
// what the keys read here mean, so it is refused rather than guessed at.
constexpr std::string_view SUPPORTED_MAJOR = "1";

ValueError lock_error(const std::filesystem::path& file, const std::string& problem) {
    return ValueError(file.string() + ": " + problem);
}

toml::table parse_toml(const std::filesystem::path& file) {
    const std::string content = files::read(file);
    try {
        return toml::parse(content, file.string());
    } catch (const toml::parse_error& error) {
        throw lock_error(file, "not a valid TOML file: " + std::string(error.description()) + " (line " +
                                   std::to_string(error.source().begin.line) + ")");
    }
}

void check_lock_version(const std::filesystem::path& file, const toml::table& lock) {
    const std::optional<std::string> version = lock["lock-version"].value<std::string>();
    if (!version) throw lock_error(file, "no lock-version string: not a PEP 751 lock file");
    if (std::string_view(*version).substr(0, version->find('.')) != SUPPORTED_MAJOR) {
        throw lock_error(file, "lock-version " + *version + " is not supported (only 1.x is)");
    }
}

// An optional string key of a package entry; any other type is an error.
std::optional<std::string> string_key(const std::filesystem::path& file, const toml::table& entry, std::string_view key,
                                      std::size_t number) {
    const toml::node* node = entry.get(key);
    if (node == nullptr) return std::nullopt;
    if (const std::optional<std::string> value = node->value<std::string>()) return value;
    throw lock_error(file, "packages entry " + std::to_string(number) + ": " + std::string(key) + " is not a string");
}

bool applies(const std::filesystem::path& file, const std::optional<std::string>& marker, const std::string& name,
             const MarkerSource& markers) {
    if (!marker) return true;
    try {
        return Marker::parse(*marker).evaluate(markers(), "");
    } catch (const ValueError& error) {
        throw lock_error(file, "the marker of package " + name + ": " + error.what());
    }
}

// Pins one [[packages]] entry (the `number`th, from 1) when it applies.
void pin_entry(const std::filesystem::path& file, const toml::node& node, std::size_t number,
               const MarkerSource& markers, VersionsMap& versions) {
    const toml::table* entry = node.as_table();
    if (entry == nullptr) throw lock_error(file, "packages entry " + std::to_string(number) + " is not a table");
    const std::optional<std::string> name = string_key(file, *entry, "name", number);
    if (!name) throw lock_error(file, "packages entry " + std::to_string(number) + " has no name");
    const std::optional<std::string> version = string_key(file, *entry, "version", number);
    if (!applies(file, string_key(file, *entry, "marker", number), *name, markers) || !version) return;
    const std::string key = canonical_name(*name);
    if (const std::string* earlier = versions.find(key); earlier != nullptr && *earlier != *version) {
        throw lock_error(
            file, "package " + *name + " is locked at both " + *earlier + " and " + *version + " for this environment");
    }
    versions.set(key, *version);
}

}  // namespace

ResolvedPins read_lock_file(const std::filesystem::path& file, const MarkerSource& markers) {
    const toml::table lock = parse_toml(file);
    check_lock_version(file, lock);
    const toml::array* packages = lock["packages"].as_array();
    if (packages == nullptr) throw lock_error(file, "no [[packages]] array");
    ResolvedPins pins;
    std::size_t number = 0;
    for (const toml::node& node : *packages) pin_entry(file, node, ++number, markers, pins.versions);
    return pins;
}

}  // namespace quorl
