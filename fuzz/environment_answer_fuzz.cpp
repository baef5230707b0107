// The answer of the interpreter query (NUL-separated fields): whatever a
// broken or foreign interpreter prints must be rejected cleanly.
#include "environment/interpreter_facts.h"
#include "fuzz_support.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const InterpreterFacts environment = parse_interpreter_answer(fuzz::as_text(data, size));
        FUZZ_CHECK(environment.executable.find('\0') == std::string::npos);
        for (const std::string& entry : environment.sys_path) FUZZ_CHECK(entry.find('\0') == std::string::npos);
    } catch (const QuorlError&) {}
    return 0;
}
