// CliOptionConfigElement: a bare flag; contributes its key's option string.
#pragma once

#include "cli_config_processor/cli_config_element.h"

namespace quorl {

template <typename KEY_TYPE>
class CliOptionConfigElement : public CliConfigElement<KEY_TYPE> {
public:
    explicit CliOptionConfigElement(KEY_TYPE key_, CliConfigType type_ = CliConfigType::OPTION)
        : CliConfigElement<KEY_TYPE>(key_, type_) {}

    std::vector<std::string> get_value() const override { return {this->key_text()}; }
};

}  // namespace quorl
