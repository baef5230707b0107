// The example maps that the dependency map and tree tests share.
#pragma once

#include <string>

#include "model/dependency_map.h"

namespace quorl::examples {

// A -> B, C; B, C -> D; D -> E.
inline DependencyMap abcde() {
    return DependencyMap::from_string_mapping({{"A", {"B", "C"}}, {"B", {"D"}}, {"C", {"D"}}, {"D", {"E"}}, {"E", {}}});
}

inline DependencyMap scipy_map() {
    return DependencyMap::from_string_mapping({{"scipy", {"numpy"}}, {"scipy[test]", {"pytest"}}});
}

// app requires scipy with two extras, each a key of its own.
inline DependencyMap app_map() {
    return DependencyMap::from_string_mapping({{"app", {"scipy[develop,test]"}},
                                               {"scipy", {"numpy"}},
                                               {"scipy[test]", {"pytest"}},
                                               {"scipy[develop]", {"mypy", "pytest"}},
                                               {"numpy", {}},
                                               {"pytest", {}},
                                               {"mypy", {}}});
}

// 20 diamonds make 4,194,301 layer elements: duplicates double every two layers.
inline DependencyMap diamond_chain(int diamonds) {
    DependencyMap::StringMapping mapping;
    for (int i = 0; i < diamonds; ++i) {
        const std::string top = "t" + std::to_string(i);
        const std::string next = "t" + std::to_string(i + 1);
        mapping.push_back({top, {top + "l", top + "r"}});
        mapping.push_back({top + "l", {next}});
        mapping.push_back({top + "r", {next}});
    }
    return DependencyMap::from_string_mapping(mapping);
}

}  // namespace quorl::examples
