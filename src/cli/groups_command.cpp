#include "cli/commands.h"
#include "support/errors.h"

namespace quorl::cli {

void generate_groups(const GroupsArguments&) {
    throw QuorlError("the 'groups' command is not available yet in this build");
}

}  // namespace quorl::cli
