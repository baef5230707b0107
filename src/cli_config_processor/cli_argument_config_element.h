// CliArgumentConfigElement: a flag followed by a value; contributes the key's
// option string, then `value`.
#pragma once

#include <utility>

#include "cli_config_processor/cli_config_element.h"

namespace quorl {

template <typename KEY_TYPE>
class CliArgumentConfigElement : public CliConfigElement<KEY_TYPE> {
public:
    CliArgumentConfigElement(KEY_TYPE key_, std::string value_, CliConfigType type_ = CliConfigType::ARGUMENT)
        : CliConfigElement<KEY_TYPE>(key_, type_), value(std::move(value_)) {}

    std::vector<std::string> get_value() const override { return {this->key_text(), value}; }

    std::string value;
};

}  // namespace quorl
