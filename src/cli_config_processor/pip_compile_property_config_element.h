// PipCompilePropertyConfigElement: a pip-compile flag ("-q", "--no-header").
#pragma once

#include "cli_config_processor/cli_option_config_element.h"
#include "cli_config_processor/pip_compile_supported_config.h"

namespace quorl {

using PipCompilePropertyConfigElement = CliOptionConfigElement<PipCompileSupportedConfig>;

}  // namespace quorl
