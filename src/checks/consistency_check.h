// ConsistencyCheck: whether what a release is computed from agrees with
// itself. Groups are computed from the installed environment, but pinned with
// the resolved requirements file; when the two disagree the release is wrong
// without any error. For each distribution a group reaches, it warns (one
// line each, on standard error) when
//   - its installed version differs from the resolved file's pin, or the file
//     does not pin it;
//   - one of its requirements is not met by the environment: judged as an
//     installer's own check of an environment judges it (only requirements
//     whose marker holds without an extra; the installed version must satisfy
//     the specifier, pre-releases admitted; a required distribution that is
//     not installed is reported too).
// Each distribution is checked once, however many groups reach it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "environment/installed_requirements.h"
#include "model/package.h"
#include "resolution/requirement_generator.h"
#include "support/logging.h"

namespace quorl {

class ConsistencyCheck {
public:
    // `installed` is the environment the groups were computed from (as
    // DependencyMap::from_installed hands it out); it must outlive the check.
    explicit ConsistencyCheck(const InstalledRequirements& installed);
    ConsistencyCheck(const ConsistencyCheck&) = delete;  // it points into itself once pins are read
    ConsistencyCheck& operator=(const ConsistencyCheck&) = delete;

    // Compares installed versions with the pins `read_pins` returns, the
    // versions of `pins_file` (named in the warnings). They are read when the
    // first installed distribution is checked, so that groups reaching
    // nothing need no file; a QuorlError of the reading becomes one warning,
    // and installed versions are then not compared. Without this call only
    // the requirements are checked.
    void compare_with_pins(std::function<VersionsMap()> read_pins, std::string pins_file);
    // The same with pins read already; `pins` must outlive the check.
    void compare_with_pins(const VersionsMap& pins, std::string pins_file);

    // Checks the distribution a group reaches under `name` (any spelling;
    // extras are not part of it), unless it was checked already. A name that
    // is not installed is left to the requirements that name it.
    void check_reached(std::string_view name);
    // The same for a package of the dependency map, found by the hash it
    // carries (its extras are not part of the name checked).
    void check_reached(const Package& package);

    std::size_t warning_count() const { return warnings_; }

    // Writes the warnings so far (they are gathered to be written together),
    // then with `strict` and any warning: throws QuorlError saying how many
    // there were and that `nothing_done` (what the command did not do).
    void enforce(bool strict, std::string_view nothing_done);

private:
    bool read_pins();
    const std::string* pinned_version(const std::string& key);
    void check_pin(const InstalledDistribution& distribution);
    void check_requirements(const InstalledDistribution& distribution);
    void warn(const std::string& message);

    void check(const InstalledDistribution* distribution);
    const InstalledDistribution* find(std::string_view name) const;
    const InstalledDistribution* at(std::optional<std::size_t> index) const;

    const InstalledRequirements& installed_;
    const InstalledIndex index_;
    std::vector<char> checked_;               // per index of installed_
    std::function<VersionsMap()> read_pins_;  // until the pins are read
    std::optional<VersionsMap> read_;         // what read_pins_ gave
    const VersionsMap* pins_ = nullptr;       // lower-case name -> pinned version
    // Canonical name -> pinned version, built on the first name that is not
    // spelt canonically in the file.
    std::unordered_map<std::string, const std::string*> pins_by_canonical_name_;
    std::string pins_file_;
    std::size_t warnings_ = 0;
    log::WarningBatch batch_;
    std::string message_;  // the one being built
};

}  // namespace quorl
