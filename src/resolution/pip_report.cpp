#include "resolution/pip_report.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "pep/canonical_name.h"
#include "pep/marker.h"
#include "pep/requirement.h"
#include "support/errors.h"

namespace quorl {
namespace {

// Packages pip-compile leaves out of the pins unless --allow-unsafe is given.
const std::set<std::string> UNSAFE_PACKAGES{"distribute", "pip", "setuptools"};
constexpr std::string_view UNSAFE_NOTE = "# The following packages are considered to be unsafe in a requirements file:";

struct ReportedPackage {
    std::string version;
    std::vector<std::string> requires_dist;
    std::set<std::string> extras;  // canonical, as pip compares them
};

using Resolution = std::map<std::string, ReportedPackage>;  // by canonical name

MarkerValues report_markers(const nlohmann::json& report) {
    MarkerValues values;
    const nlohmann::json environment = report.value("environment", nlohmann::json::object());
    for (std::size_t i = 0; i < MarkerValues::SIZE; ++i) {
        const auto variable = static_cast<MarkerVariable>(i);
        const auto found = environment.find(std::string(marker_variable_name(variable)));
        if (found != environment.end() && found->is_string()) values.set(variable, found->get<std::string>());
    }
    return values;
}

Resolution read_resolution(const nlohmann::json& report) {
    Resolution packages;
    for (const nlohmann::json& item : report.at("install")) {
        const nlohmann::json& metadata = item.at("metadata");
        ReportedPackage& package = packages[canonical_name(metadata.at("name").get<std::string>())];
        package.version = metadata.at("version").get<std::string>();
        package.requires_dist = metadata.value("requires_dist", std::vector<std::string>{});
        for (const std::string& extra : item.value("requested_extras", std::vector<std::string>{})) {
            package.extras.insert(canonical_name(extra));
        }
    }
    return packages;
}

// Whether `line` is required by a package installed with `extras` (and
// without any), under `markers`.
bool applies(const Requirement& line, const std::set<std::string>& extras, const MarkerValues& markers) {
    if (!line.marker) return true;
    if (line.marker->evaluate(markers, "")) return true;
    return std::any_of(extras.begin(), extras.end(),
                       [&](const std::string& extra) { return line.marker->evaluate(markers, extra); });
}

// Spreads the extras that requirements ask of other packages in the
// resolution until nothing changes (an extra can bring in a requirement that
// asks for further extras).
void spread_requested_extras(Resolution& packages, const MarkerValues& markers) {
    for (bool changed = true; changed;) {
        changed = false;
        for (auto& [name, package] : packages) {
            for (const std::string& text : package.requires_dist) {
                Requirement line;
                try {
                    line = parse_requirement(text);
                } catch (const ValueError&) {
                    continue;  // pip skipped such a line too
                }
                const auto target = packages.find(canonical_name(line.name));
                if (line.extras.empty() || target == packages.end() || !applies(line, package.extras, markers))
                    continue;
                for (const std::string& extra : line.extras) {
                    changed = target->second.extras.insert(canonical_name(extra)).second || changed;
                }
            }
        }
    }
}

std::string pinned_line(const std::string& name, const ReportedPackage& package) {
    std::string line = name;
    if (!package.extras.empty()) {
        std::string joined;
        for (const std::string& extra : package.extras) joined += (joined.empty() ? "" : ",") + extra;
        line += "[" + joined + "]";
    }
    return line + "==" + package.version + "\n";
}

}  // namespace

std::string pinned_lines_from_pip_report(std::string_view report_json) {
    Resolution packages;
    try {
        const nlohmann::json report = nlohmann::json::parse(report_json);
        packages = read_resolution(report);
        spread_requested_extras(packages, report_markers(report));
    } catch (const nlohmann::json::exception& error) {
        throw QuorlError(std::string("cannot read pip's installation report: ") + error.what());
    }
    std::string content, unsafe;
    for (const auto& [name, package] : packages) {
        if (UNSAFE_PACKAGES.count(name) != 0) {
            unsafe += "# " + name + "\n";
        } else {
            content += pinned_line(name, package);
        }
    }
    if (!unsafe.empty()) content += "\n" + std::string(UNSAFE_NOTE) + "\n" + unsafe;
    return content;
}

}  // namespace quorl
