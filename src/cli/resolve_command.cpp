#include "cli/commands.h"
#include "support/errors.h"

namespace quorl::cli {

void resolve_dependencies(const ResolveArguments&) {
    throw QuorlError("the 'resolve' command is not available yet in this build");
}

}  // namespace quorl::cli
