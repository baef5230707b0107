// PipCompileConfigElement: an element over the pip-compile options that is
// a flag by default. Declared for completeness of the element family; the
// tool builds its resolver runs from the property and argument elements.
#pragma once

#include "cli_config_processor/cli_config_element.h"
#include "cli_config_processor/pip_compile_supported_config.h"

namespace quorl {

class PipCompileConfigElement : public CliConfigElement<PipCompileSupportedConfig> {
protected:
    explicit PipCompileConfigElement(PipCompileSupportedConfig key, CliConfigType type = CliConfigType::OPTION)
        : CliConfigElement<PipCompileSupportedConfig>(key, type) {}
};

}  // namespace quorl
