// The example maps that the dependency map and tree tests share.
#pragma once

#include <random>
#include <string>
#include <vector>

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

// Random maps with extras, several-extras dependencies and cycles.
inline DependencyMap random_map(unsigned seed) {
    std::mt19937 random(seed);
    const int names = 30;
    auto pick = [&](int n) { return static_cast<int>(random() % n); };
    auto dependency = [&]() {
        std::string text = "p" + std::to_string(pick(names));
        switch (pick(6)) {
            case 0:
                return text + "[x]";
            case 1:
                return text + "[x,y]";
            default:
                return text;
        }
    };
    DependencyMap::StringMapping mapping;
    for (int i = 0; i < names; ++i) {
        const std::string name = "p" + std::to_string(i);
        for (const char* suffix : {"", "[x]", "[y]"}) {
            if (*suffix && pick(2)) continue;
            std::vector<std::string> dependencies;
            for (int k = pick(4); k > 0; --k) dependencies.push_back(dependency());
            mapping.push_back({name + suffix, dependencies});
        }
    }
    return DependencyMap::from_string_mapping(mapping);
}

}  // namespace quorl::examples
