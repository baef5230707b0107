// PipCompileConfigProcessor: renders pip-compile flags and options into the
// resolver's argument list, flags first.
#pragma once

#include "cli_config_processor/cli_config_processor.h"
#include "cli_config_processor/pip_compile_argument_config_element.h"
#include "cli_config_processor/pip_compile_property_config_element.h"

namespace quorl {

using PipCompileConfigProcessor = CliConfigProcessor<PipCompilePropertyConfigElement, PipCompileArgumentConfigElement>;

}  // namespace quorl
