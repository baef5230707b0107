#include "release/spdx_license_ids.h"

#include <array>
#include <utility>

namespace quorl {
namespace {

// By the classifier's last part, which names the licence whatever group
// ("OSI Approved", "CC0 1.0 ...") the classifier files it under.
constexpr std::array<std::pair<std::string_view, std::string_view>, 26> IDS{{
    {"MIT License", "MIT"},
    {"MIT No Attribution License (MIT-0)", "MIT-0"},
    {"Apache Software License", "Apache-2.0"},
    {"ISC License (ISCL)", "ISC"},
    {"Mozilla Public License 2.0 (MPL 2.0)", "MPL-2.0"},
    {"Mozilla Public License 1.1 (MPL 1.1)", "MPL-1.1"},
    {"GNU General Public License v2 (GPLv2)", "GPL-2.0-only"},
    {"GNU General Public License v2 or later (GPLv2+)", "GPL-2.0-or-later"},
    {"GNU General Public License v3 (GPLv3)", "GPL-3.0-only"},
    {"GNU General Public License v3 or later (GPLv3+)", "GPL-3.0-or-later"},
    {"GNU Lesser General Public License v2 (LGPLv2)", "LGPL-2.0-only"},
    {"GNU Lesser General Public License v2 or later (LGPLv2+)", "LGPL-2.0-or-later"},
    {"GNU Lesser General Public License v3 (LGPLv3)", "LGPL-3.0-only"},
    {"GNU Lesser General Public License v3 or later (LGPLv3+)", "LGPL-3.0-or-later"},
    {"GNU Affero General Public License v3", "AGPL-3.0-only"},
    {"GNU Affero General Public License v3 or later (AGPLv3+)", "AGPL-3.0-or-later"},
    {"Python Software Foundation License", "PSF-2.0"},
    {"The Unlicense (Unlicense)", "Unlicense"},
    {"Eclipse Public License 1.0 (EPL-1.0)", "EPL-1.0"},
    {"Eclipse Public License 2.0 (EPL-2.0)", "EPL-2.0"},
    {"Boost Software License 1.0 (BSL-1.0)", "BSL-1.0"},
    {"zlib/libpng License", "Zlib"},
    {"Universal Permissive License (UPL)", "UPL-1.0"},
    {"Historical Permission Notice and Disclaimer (HPND)", "HPND"},
    {"European Union Public Licence 1.2 (EUPL 1.2)", "EUPL-1.2"},
    {"CC0 1.0 Universal (CC0 1.0) Public Domain Dedication", "CC0-1.0"},
}};

}  // namespace

std::optional<std::string_view> spdx_id_of_classifier(std::string_view classifier) {
    const std::size_t last = classifier.rfind(" :: ");
    const std::string_view name = last == std::string_view::npos ? classifier : classifier.substr(last + 4);
    for (const auto& [classifier_name, id] : IDS) {
        if (name == classifier_name) return id;
    }
    return std::nullopt;
}

}  // namespace quorl
