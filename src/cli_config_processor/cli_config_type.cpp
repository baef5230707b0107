#include "cli_config_processor/cli_config_type.h"

#include <string>

#include "support/errors.h"

namespace quorl {

CliConfigType cli_config_type_from_text(std::string_view text) {
    for (CliConfigType type : {CliConfigType::OPTION, CliConfigType::ARGUMENT}) {
        if (type == text) return type;
    }
    throw ValidationError("type", "'" + std::string(text) + "' is not one of OPTION, ARGUMENT");
}

}  // namespace quorl
