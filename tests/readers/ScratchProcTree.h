#pragma once

#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace trovimo::test {

// A root directory for a reader that tests can rewrite between two reads: fixture trees
// are copied in (over what is there), single files written or removed.
class ScratchProcTree {
public:
    [[nodiscard]] std::string root() const { return directory_.path().toStdString(); }

    // Copies tests/fixtures/<fixture>/ over the tree.
    void install(const std::string& fixture) const {
        std::filesystem::copy(fixturePath(fixture), root(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }

    void write(const std::string& relative, std::string_view text) const {
        const std::filesystem::path path = std::filesystem::path(root()) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    void remove(const std::string& relative) const {
        std::filesystem::remove_all(std::filesystem::path(root()) / relative);
    }

private:
    QTemporaryDir directory_;
};

} // namespace trovimo::test
