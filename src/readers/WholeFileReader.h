#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// Reads whole small files (/proc, /sys) into one buffer that is kept and reused, so a reader
// that samples every second allocates nothing once the buffer has grown to fit. Never a
// single fixed-size read(): /proc/stat outgrows any guess on machines with many cores.
class WholeFileReader {
public:
    static constexpr std::size_t defaultLimit = std::size_t{8} << 20;

    explicit WholeFileReader(std::size_t initialCapacity = 4096, std::size_t limit = defaultLimit);

    // The file's contents, valid until the next call. Absent when the file cannot be opened
    // or read, or is larger than the limit (a hostile or broken file must not eat memory).
    [[nodiscard]] std::optional<std::string_view> read(const char* path);
    [[nodiscard]] std::optional<std::string_view> read(const std::string& path) {
        return read(path.c_str());
    }

    [[nodiscard]] std::size_t capacity() const noexcept { return buffer_.size(); }

private:
    std::vector<char> buffer_;
    std::size_t limit_;
};

// `relative` below `root`, with exactly one slash between them ("/" + "proc/stat" gives
// "/proc/stat").
[[nodiscard]] std::string pathUnderRoot(std::string_view root, std::string_view relative);

} // namespace trovimo
