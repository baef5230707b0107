// What the dependency map keeps of one requirement line of an installed
// distribution, and the reader that turns lines into it. An environment
// holds tens of thousands of lines but only a few marker texts and one
// package per name, so the reader parses and evaluates each marker text once
// and makes each package without extras once; the requirements it returns
// share them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "environment/distribution_reader.h"
#include "model/package.h"
#include "pep/marker.h"
#include "support/hash_index.h"
#include "support/text.h"

namespace quorl {

// A marker judged in the reader's environment: whether it holds with no
// extra, and for each extra it names (Marker::extra_names order) whether it
// holds with that extra.
struct MarkerVerdict {
    struct Extra {
        std::string name;
        bool holds;
    };
    bool direct = true;
    std::vector<Extra> extras;
};

struct DeclaredRequirement {
    // Canonical name, with the extras the line asks for in written order.
    Package dependency;
    bool direct;  // no marker, or one that holds with no extra
    // The verdict of a marker that names extras, owned by the reader that
    // made this requirement; null for every other line.
    const MarkerVerdict* extras_marker;
};

class DeclaredRequirementReader {
public:
    explicit DeclaredRequirementReader(const MarkerValues& environment) : environment_(environment) {}
    DeclaredRequirementReader(const DeclaredRequirementReader&) = delete;
    DeclaredRequirementReader& operator=(const DeclaredRequirementReader&) = delete;

    // The requirement that `line` of `distribution` declares. With
    // `specifier`, it also receives the line's version specifier. Throws the
    // ValueError of parse_requirement_of for a line that does not parse.
    DeclaredRequirement read(std::string_view line, const Distribution& distribution, std::string* specifier);

    // Room for about `names` distinct package names.
    void reserve(std::size_t names) {
        packages_.reserve(names);
        package_index_.reserve(names);
    }

private:
    template <typename T>
    using ByText = text::MapByText<T>;

    DeclaredRequirement declared(std::string_view name, std::vector<std::string> extras, const MarkerVerdict* verdict);
    const MarkerVerdict* verdict_of_text(std::string_view text);
    MarkerVerdict judge(const Marker& marker) const;

    const MarkerValues& environment_;
    ByText<MarkerVerdict> verdicts_;  // by marker text; node addresses stay put
    // Packages without extras by name as written, found through the hash
    // index: a node per name to make and to free cost more than the lookups.
    std::vector<std::pair<std::string, Package>> packages_;
    HashIndex package_index_;
    std::string name_;  // reused for canonical names
};

}  // namespace quorl
