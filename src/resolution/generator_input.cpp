#include "resolution/generator_input.h"

namespace quorl {
namespace {

// Joins like a pure path: "." and empty components vanish, an absolute
// component restarts the path, and nothing is left means ".".
std::filesystem::path pure_join(const std::filesystem::path& base, const std::filesystem::path& tail) {
    std::filesystem::path result;
    for (const std::filesystem::path* part : {&base, &tail}) {
        if (part->is_absolute()) result = part->root_path();
        for (const std::filesystem::path& component : part->relative_path()) {
            if (component.empty() || component == ".") continue;
            result /= component;
        }
    }
    return result.empty() ? std::filesystem::path(".") : result;
}

}  // namespace

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

std::filesystem::path GeneratorInput::txt_path() const { return pure_join(output_path_, txt_name_); }

}  // namespace quorl
