#include "cli/release_json.h"

#include <nlohmann/json.hpp>

#include "support/printable.h"

namespace quorl::cli {
namespace {

// Printable ASCII without '"' or '\': JSON writes it as it is. Pinned lines
// and group names are almost always such text.
bool needs_no_escape(std::string_view text) {
    return all_plain_printable(text) && text.find('"') == std::string_view::npos &&
           text.find('\\') == std::string_view::npos;
}

void append_string(std::string& out, const std::string& text) {
    if (needs_no_escape(text)) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    // Anything else is escaped by the JSON library, with the same rules as
    // a whole-document dump.
    out += nlohmann::json(text).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string json_string(const std::string& text) {
    std::string out;
    append_string(out, text);
    return out;
}

// Written directly rather than through a JSON document: building the
// document and dumping it took an eighth of the whole release on an
// environment of 10,000 distributions. The layout is that of a 2-space dump.
std::string release_json_text(const PinnedGroups& pinned) {
    if (pinned.empty()) return "{}";
    std::string out = "{";
    bool first_member = true;
    for (const auto& [name, lines] : pinned) {
        out += first_member ? "\n  " : ",\n  ";
        first_member = false;
        append_string(out, name);
        out += ": ";
        if (lines.empty()) {
            out += "[]";
            continue;
        }
        out += '[';
        for (std::size_t i = 0; i < lines.size(); ++i) {
            out += i == 0 ? "\n    " : ",\n    ";
            append_string(out, lines[i]);
        }
        out += "\n  ]";
    }
    out += "\n}";
    return out;
}

}  // namespace quorl::cli
