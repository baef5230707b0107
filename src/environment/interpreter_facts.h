// What the tool asks the environment's interpreter: its search path, its
// executable and the values of the PEP 508 marker variables. One child
// process answers all of it; everything else is read natively.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pep/marker.h"

namespace quorl {

struct InterpreterFacts {
    std::filesystem::path interpreter;  // the program that was run
    std::string executable;             // its sys.executable
    // sys.path in order, without the current-directory entry that `python -c`
    // puts first: files in the working directory are not installed.
    std::vector<std::string> sys_path;
    MarkerValues markers;
};

// The environment of find_python_interpreter(), asked once per process and
// kept, across runs too (interpreter_facts_cache.h). Throws QuorlError with one line naming the interpreter when none
// is found, it cannot be run, it fails or it answers something unexpected.
const InterpreterFacts& current_interpreter_facts();

// Asks `interpreter` (not cached). Errors as above.
InterpreterFacts query_interpreter_facts(const std::filesystem::path& interpreter);

// Parses the answer of the query program; throws QuorlError when it does not
// have the expected form. Exposed for tests.
InterpreterFacts parse_interpreter_answer(std::string_view answer);

// The files an answer asked with the argument "files" names as read at
// start-up; throws QuorlError when that frame is missing.
std::vector<std::string> parse_interpreter_files(std::string_view answer);

}  // namespace quorl
