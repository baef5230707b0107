#include "model/package.h"

#include <algorithm>

#include "support/errors.h"
#include "support/text.h"

namespace quorl {

std::string Package::normalise_name(std::string_view name) {
    std::string out(name);
    std::replace(out.begin(), out.end(), '_', '-');
    std::replace(out.begin(), out.end(), '.', '-');
    return out;
}

Package::Package(std::string_view name, std::vector<std::string> extras)
    : Package(normalise_name(name), std::move(extras), Normalised{}) {}

Package::Package(std::string name, std::vector<std::string> extras, Normalised) {
    auto parts = std::make_shared<Parts>();
    parts->name = std::move(name);
    parts->extras = std::move(extras);
    if (!parts->extras.empty()) {
        parts->text = parts->name;
        parts->text += '[';
        parts->text += text::join(parts->extras, ",");
        parts->text += ']';
    }
    parts->hash = std::hash<std::string>{}(parts->extras.empty() ? parts->name : parts->text);
    parts_ = std::move(parts);
}

Package Package::from_string(std::string_view text) {
    const std::size_t open = text.find('[');
    if (open == std::string_view::npos) return Package(text);
    if (text.find('[', open + 1) != std::string_view::npos) {
        throw ValueError("too many values to unpack (expected 2)");
    }
    const std::string_view inside = text::strip(text.substr(open + 1));
    // Text after the closing bracket, or a missing one, would otherwise be
    // folded silently into the extras.
    if (inside.empty() || inside.back() != ']' ||
        inside.substr(0, inside.size() - 1).find(']') != std::string_view::npos) {
        throw ValueError("Invalid requirement string '" + std::string(text) +
                         "': \"[\" must be closed by a final \"]\"");
    }
    std::vector<std::string> extras;
    for (const std::string& piece : text::split(inside.substr(0, inside.size() - 1), ",")) {
        extras.emplace_back(text::strip(piece));
    }
    return Package(text.substr(0, open), std::move(extras));
}

bool Package::included_in(const Package& other) const {
    if (name() != other.name()) return false;
    const std::vector<std::string>& others = other.extras();
    return std::all_of(extras().begin(), extras().end(), [&](const std::string& extra) {
        return std::find(others.begin(), others.end(), extra) != others.end();
    });
}

std::ostream& operator<<(std::ostream& out, const Package& package) { return out << package.to_string(); }

}  // namespace quorl
