// GeneratorInput: what one resolver run works on: the requirements input
// file, where the pinned file goes, and the package indexes to use.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorl {

class GeneratorInput {
public:
    static constexpr std::string_view DEFAULT_TXT_NAME = "quorl_runtime_pinned_versions.txt";

    // Field name and documentation text, in declaration order.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> FIELD_DESCRIPTIONS{{
        {"input_path", "Reference to the generated req.txt file"},
        {"output_path", "Outputh path were the req.txt file will be created"},
        {"txt_name", "Name of the req.txt file that will be created"},
        {"extras_list", "List of --extra-index-url values to be used."},
        {"trusted_domain_list", "List of trusted domains"},
    }};

    // `input_path` is the ".in" file of root requirements. `output_path` is the
    // directory of the pinned file (an empty path becomes "."), `txt_name` its
    // file name. `extras_list` holds extra index URLs (not package extras),
    // `trusted_domain_list` hosts to trust. Each record owns its lists.
    explicit GeneratorInput(std::filesystem::path input_path, std::filesystem::path output_path = ".",
                            std::string txt_name = std::string(DEFAULT_TXT_NAME),
                            std::vector<std::string> extras_list = {},
                            std::vector<std::string> trusted_domain_list = {});

    const std::filesystem::path& input_path() const { return input_path_; }
    const std::filesystem::path& output_path() const { return output_path_; }
    const std::string& txt_name() const { return txt_name_; }
    const std::vector<std::string>& extras_list() const { return extras_list_; }
    const std::vector<std::string>& trusted_domain_list() const { return trusted_domain_list_; }
    std::vector<std::string>& extras_list() { return extras_list_; }
    std::vector<std::string>& trusted_domain_list() { return trusted_domain_list_; }

    // Assignments run the same rules as construction.
    void set_input_path(std::filesystem::path value);
    void set_output_path(std::filesystem::path value);
    void set_txt_name(std::string value);
    void set_extras_list(std::vector<std::string> value);
    void set_trusted_domain_list(std::vector<std::string> value);

    // `output_path` joined with `txt_name`, computed on every call: "."
    // components are dropped, and an absolute `txt_name` stands alone.
    std::filesystem::path txt_path() const;

private:
    std::filesystem::path input_path_;
    std::filesystem::path output_path_;
    std::string txt_name_;
    std::vector<std::string> extras_list_;
    std::vector<std::string> trusted_domain_list_;
};

}  // namespace quorl
