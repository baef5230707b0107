#include "resolution/generator_input.h"

#include "support/pure_path.h"

namespace quorl {

GeneratorInput::GeneratorInput(std::filesystem::path input_path, std::filesystem::path output_path,
                               std::string txt_name, std::vector<std::string> extras_list,
                               std::vector<std::string> trusted_domain_list)
    : input_path_(std::move(input_path)),
      txt_name_(std::move(txt_name)),
      extras_list_(std::move(extras_list)),
      trusted_domain_list_(std::move(trusted_domain_list)) {
    set_output_path(std::move(output_path));
}

void GeneratorInput::set_input_path(std::filesystem::path value) { input_path_ = std::move(value); }

void GeneratorInput::set_output_path(std::filesystem::path value) {
    // An empty directory means the current one, never the file system root.
    output_path_ = value.empty() ? std::filesystem::path(".") : std::move(value);
}

void GeneratorInput::set_txt_name(std::string value) { txt_name_ = std::move(value); }

void GeneratorInput::set_extras_list(std::vector<std::string> value) { extras_list_ = std::move(value); }

void GeneratorInput::set_trusted_domain_list(std::vector<std::string> value) {
    trusted_domain_list_ = std::move(value);
}

std::filesystem::path GeneratorInput::txt_path() const { return pure_path::join(output_path_, txt_name_); }

}  // namespace quorl
