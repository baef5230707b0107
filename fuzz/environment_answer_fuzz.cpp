// The answer of the interpreter query (NUL-separated fields): whatever a
// broken or foreign interpreter prints must be rejected cleanly.
#include "fuzz_support.h"
#include "python/python_environment.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const PythonEnvironment environment = parse_python_environment_answer(fuzz::as_text(data, size));
        FUZZ_CHECK(environment.executable.find('\0') == std::string::npos);
        for (const std::string& entry : environment.sys_path) FUZZ_CHECK(entry.find('\0') == std::string::npos);
    } catch (const QuorlError&) {
    }
    return 0;
}
