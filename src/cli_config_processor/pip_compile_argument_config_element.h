// PipCompileArgumentConfigElement: a pip-compile option with its value
// ("--output-file" FILE).
#pragma once

#include "cli_config_processor/cli_argument_config_element.h"
#include "cli_config_processor/pip_compile_supported_config.h"

namespace quorl {

using PipCompileArgumentConfigElement = CliArgumentConfigElement<PipCompileSupportedConfig>;

}  // namespace quorl
