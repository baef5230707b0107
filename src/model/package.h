// Package: one installable Python package, optionally with extras, in the form
// requirement strings name it ("scipy[test]"). A small value type: the key and
// element type of the dependency map. Its parts never change after
// construction, so copies share them: the maps and lists of an environment
// hold every package several times, and a copy then costs no allocation.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

class Package {
public:
    // The name is normalised: every "_" and every "." becomes "-". Letter case
    // and surrounding spaces are kept. Extras are stored exactly as given.
    explicit Package(std::string_view name, std::vector<std::string> extras = {});

    // Parses "name" or "name[extra1,extra2]". Throws ValueError with
    // "too many values to unpack (expected 2)" for more than one "[", and a
    // ValueError naming the string when the "[" is not closed by a final "]"
    // or the extras hold another bracket.
    static Package from_string(std::string_view text);

    // A package whose name is canonical already (python/canonical_name.h), so
    // normalising it would change nothing: takes the name without a copy.
    static Package from_canonical_name(std::string name, std::vector<std::string> extras = {}) {
        return Package(std::move(name), std::move(extras), Normalised{});
    }

    // Copies share the parts; there is no cheaper move, so a package that was
    // moved from stays whole.
    Package(const Package&) = default;
    Package& operator=(const Package&) = default;

    const std::string& name() const { return parts_->name; }
    const std::vector<std::string>& extras() const { return parts_->extras; }
    bool has_extras() const { return !parts_->extras.empty(); }

    // The name a package of `name` gets: "_" and "." become "-".
    static std::string normalise_name(std::string_view name);

    // The name, then "[extras joined by ,]" when there are extras.
    const std::string& to_string() const { return parts_->extras.empty() ? parts_->name : parts_->text; }

    // The package without extras of the same name.
    Package base() const { return Package(parts_->name, {}, Normalised{}); }

    // True when the names are equal and every extra of this package is among
    // the extras of `other` (set inclusion).
    bool included_in(const Package& other) const;

    std::size_t hash() const { return parts_->hash; }

    bool operator==(const Package& other) const {
        if (parts_ == other.parts_) return true;  // copies of one package
        return parts_->hash == other.parts_->hash && parts_->name == other.parts_->name &&
               parts_->extras == other.parts_->extras;
    }
    bool operator!=(const Package& other) const { return !(*this == other); }

private:
    struct Normalised {};
    Package(std::string name, std::vector<std::string> extras, Normalised);

    struct Parts {
        std::string name;
        std::vector<std::string> extras;
        std::string text;  // with extras only: the text form is the name otherwise
        std::size_t hash;
    };
    std::shared_ptr<const Parts> parts_;  // never null
};

std::ostream& operator<<(std::ostream& out, const Package& package);

}  // namespace quorl

template <>
struct std::hash<quorl::Package> {
    std::size_t operator()(const quorl::Package& package) const noexcept { return package.hash(); }
};
