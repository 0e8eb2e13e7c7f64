#include "readers/KernelText.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace trovimo::kerneltext {

std::string pathUnderRoot(std::string_view root, std::string_view relative) {
    while (!root.empty() && root.back() == '/') {
        root.remove_suffix(1);
    }
    while (!relative.empty() && relative.front() == '/') {
        relative.remove_prefix(1);
    }
    std::string path;
    path.reserve(root.size() + relative.size() + 1);
    path.append(root);
    path.push_back('/');
    path.append(relative);
    return path;
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string> entriesStartingWith(const std::string& folder, std::string_view prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isSafeFileName(std::string_view name) noexcept {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

} // namespace trovimo::kerneltext
