#include "cli/commands.h"
#include "support/errors.h"

namespace quorl::cli {

void release(const ReleaseArguments&) {
    throw QuorlError("the 'release' command is not available yet in this build");
}

}  // namespace quorl::cli
