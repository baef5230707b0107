#include "cli/app.h"

namespace quorl::cli {

int run_app(int, char**) { return 0; }

}  // namespace quorl::cli
