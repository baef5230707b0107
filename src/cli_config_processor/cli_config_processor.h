// CliConfigProcessor: renders a list of configuration elements into the
// tool's argument list: every element whose `type` is OPTION first, then every
// ARGUMENT element, each group in the order given.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "cli_config_processor/cli_config_type.h"
#include "support/errors.h"

namespace quorl {

// PROPERTY derives from CliOptionConfigElement, ARGUMENT from
// CliArgumentConfigElement, both over the same key enumeration.
template <typename PROPERTY, typename ARGUMENT>
class CliConfigProcessor {
public:
    using Element = std::variant<PROPERTY, ARGUMENT>;

    // Sorting goes by each element's `type` field, not by its class. An
    // element with any other type fails the whole call with an error without
    // message; nothing is rendered then. Duplicate keys are kept.
    static std::vector<std::string> process_config(const std::vector<Element>& config) {
        std::vector<const Element*> options, arguments;
        for (const Element& element : config) {
            switch (std::visit([](const auto& e) { return e.type; }, element)) {
                case CliConfigType::OPTION:
                    options.push_back(&element);
                    break;
                case CliConfigType::ARGUMENT:
                    arguments.push_back(&element);
                    break;
                default:
                    throw QuorlError("");
            }
        }
        std::vector<std::string> final_config;
        for (const auto* group : {&options, &arguments}) {
            for (const Element* element : *group) {
                for (std::string& piece : std::visit([](const auto& e) { return e.get_value(); }, *element)) {
                    final_config.push_back(std::move(piece));
                }
            }
        }
        return final_config;
    }
};

}  // namespace quorl
