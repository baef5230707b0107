// The exact command lines handed to pip-compile, pip and pip's resolver.
#include <gtest/gtest.h>

#include "resolution/pip_report.h"
#include "resolution/requirement_generator.h"
#include "resolution/resolver_run.h"
#include "support/errors.h"

namespace quorl {
namespace {

using Strings = std::vector<std::string>;

const Strings FLAGS = {"-q",
                       "--no-annotate",
                       "--no-header",
                       "--no-emit-find-links",
                       "--no-emit-index-url",
                       "--no-emit-options",
                       "--no-emit-trusted-host"};

Strings concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(RequirementGeneratorTest, PipCompileArgumentsWithDefaultRecord) {
    EXPECT_EQ(RequirementGenerator::generated_pip_compile_config(GeneratorInput("runtime/req.in")),
              concat({{"runtime/req.in", "--resolver=backtracking"},
                      FLAGS,
                      {"--output-file", "quorl_runtime_pinned_versions.txt"}}));
}

TEST(RequirementGeneratorTest, PipCompileArgumentsKeepIndexAndHostOrder) {
    const GeneratorInput input("req.in", "out", "pins.txt", {"u1", "u2", "u1"}, {"h"});
    EXPECT_EQ(RequirementGenerator::generated_pip_compile_config(input),
              concat({{"req.in", "--resolver=backtracking"},
                      FLAGS,
                      {"--output-file", "out/pins.txt", "--extra-index-url", "u1", "--extra-index-url", "u2",
                       "--extra-index-url", "u1", "--trusted-host", "h"}}));
}

TEST(RequirementGeneratorTest, PipInstallCommandLines) {
    EXPECT_EQ(RequirementGenerator::pip_install_command("/venv/bin/python", "pins.txt", {}, {}),
              (Strings{"/venv/bin/python", "-m", "pip", "install", "-r", "pins.txt"}));
    EXPECT_EQ(RequirementGenerator::pip_install_command("py", "d/pins.txt", {"u1", "u2"}, {"h1", "h2"}),
              (Strings{"py", "-m", "pip", "install", "--extra-index-url", "u1", "--extra-index-url", "u2",
                       "--trusted-host", "h1", "--trusted-host", "h2", "-r", "d/pins.txt"}));
}

TEST(PipFallbackResolverTest, CommandHonoursIndexesAndHosts) {
    EXPECT_EQ(pip_fallback_command("py", "req.in", "/tmp/r.json", {"u"}, {"h"}),
              (Strings{"py", "-m", "pip", "install", "--dry-run", "--ignore-installed", "--quiet", "--report",
                       "/tmp/r.json", "-r", "req.in", "--extra-index-url", "u", "--trusted-host", "h"}));
}

TEST(PipFallbackResolverTest, ReportBecomesWhatPipCompileWrites) {
    const char* report = R"({"version": "1", "install": [
        {"metadata": {"name": "Zope.Interface", "version": "6.0"}},
        {"metadata": {"name": "pip", "version": "23.0"}},
        {"metadata": {"name": "alpha_pkg", "version": "1.0.post1"}},
        {"metadata": {"name": "setuptools", "version": "68.0"}}]})";
    EXPECT_EQ(pinned_lines_from_pip_report(report),
              "alpha-pkg==1.0.post1\nzope-interface==6.0\n\n"
              "# The following packages are considered to be unsafe in a requirements file:\n# pip\n# setuptools\n");
    EXPECT_EQ(pinned_lines_from_pip_report(R"({"install": []})"), "");
    EXPECT_THROW(pinned_lines_from_pip_report("{\"install\": [{}]}"), QuorlError);
    EXPECT_THROW(pinned_lines_from_pip_report("not json"), QuorlError);
}

// A root's requested extras, and the extras its requirements ask of others
// (through an extra, and only where the marker holds), as pip-compile shows them.
TEST(PipFallbackResolverTest, PinsCarryTheExtrasAskedOfThem) {
    const char* report = R"({"environment": {"python_version": "3.11"}, "install": [
        {"metadata": {"name": "Tessaly", "version": "1.1.0",
                      "requires_dist": ["beta[fast] ; extra == 'viz'", "gamma[old] ; python_version < '3'",
                                        "not a requirement!"]},
         "requested_extras": ["viz", "All"]},
        {"metadata": {"name": "beta", "version": "2.0", "requires_dist": ["gamma[x,A_b]"]}},
        {"metadata": {"name": "gamma", "version": "1.0"}}]})";
    EXPECT_EQ(pinned_lines_from_pip_report(report), "beta[fast]==2.0\ngamma[a-b,x]==1.0\ntessaly[all,viz]==1.1.0\n");
}

}  // namespace
}  // namespace quorl
