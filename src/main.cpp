#include "cli/app.h"

int main(int argc, char** argv) { return quorl::cli::run_app(argc, argv); }
