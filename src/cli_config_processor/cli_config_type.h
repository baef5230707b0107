// CliConfigType: the kind of a configuration element: a bare flag (OPTION)
// or a flag followed by a value (ARGUMENT).
#pragma once

#include <string_view>

namespace quorl {

enum class CliConfigType { OPTION, ARGUMENT };

constexpr std::string_view value(CliConfigType type) {
    switch (type) {
        case CliConfigType::OPTION:
            return "OPTION";
        case CliConfigType::ARGUMENT:
            return "ARGUMENT";
    }
    return "";
}

// A member compares equal to its own text value.
constexpr bool operator==(CliConfigType type, std::string_view text) { return value(type) == text; }

// The member whose text value is `text`; ValidationError on field "type"
// for any other text.
CliConfigType cli_config_type_from_text(std::string_view text);

}  // namespace quorl
