#include "support/pure_path.h"

#include <vector>

namespace quorl::pure_path {
namespace {

// The root ("/", or exactly "//", which POSIX leaves to the system) and the
// components that count.
struct Parts {
    std::string root;
    std::vector<std::string> components;
};

Parts parts_of(const std::string& text) {
    Parts parts;
    std::size_t slashes = 0;
    while (slashes < text.size() && text[slashes] == '/') ++slashes;
    parts.root = slashes == 2 ? "//" : slashes > 0 ? "/" : "";
    std::size_t start = slashes;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        const std::string component = text.substr(start, end - start);
        if (!component.empty() && component != ".") parts.components.push_back(component);
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::string name(const std::filesystem::path& path) {
    const Parts parts = parts_of(path.string());
    return parts.components.empty() ? std::string() : parts.components.back();
}

std::filesystem::path parent(const std::filesystem::path& path) {
    Parts parts = parts_of(path.string());
    if (!parts.components.empty()) parts.components.pop_back();
    std::string text = parts.root;
    for (std::size_t i = 0; i < parts.components.size(); ++i) {
        if (i > 0) text += '/';
        text += parts.components[i];
    }
    return text.empty() ? std::filesystem::path(".") : std::filesystem::path(text);
}

std::filesystem::path join(const std::filesystem::path& base, const std::filesystem::path& tail) {
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

}  // namespace quorl::pure_path
