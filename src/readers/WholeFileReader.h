#pragma once

#include "core/UniqueFd.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// Reads whole small files (/proc, /sys) into one buffer that is kept and reused, so a reader
// that samples every second allocates nothing once the buffer has grown to fit. Never a
// single fixed-size read(): /proc/stat outgrows any guess on machines with many cores.
//
// Files of procfs and sysfs are generated afresh by every read from their start, so the
// last few of them stay open and are read again from offset 0: looking the path up anew
// every second costs more than reading it. Should one stop answering (its device or
// process gone), it is opened again by its path. Other files (fixtures, which a test may
// replace) are opened for every read.
class WholeFileReader {
public:
    static constexpr std::size_t defaultLimit = std::size_t{8} << 20;

    explicit WholeFileReader(std::size_t initialCapacity = 4096, std::size_t limit = defaultLimit);

    // The file's contents, valid until the next call. Absent when the file cannot be opened
    // or read, is not a regular file (a FIFO must not block the reader), or is larger than
    // the limit (a hostile or broken file must not eat memory).
    [[nodiscard]] std::optional<std::string_view> read(const char* path);
    [[nodiscard]] std::optional<std::string_view> read(const std::string& path) {
        return read(path.c_str());
    }

    [[nodiscard]] std::size_t capacity() const noexcept { return buffer_.size(); }
    // How many files are held open for the next read.
    [[nodiscard]] std::size_t openFiles() const noexcept { return kept_.size(); }

    static constexpr std::size_t maximumKept = 6;

private:
    struct Kept {
        std::string path;
        UniqueFd fd;
    };

    std::optional<std::string_view> readAll(int fd);

    std::vector<char> buffer_;
    std::size_t limit_;
    std::vector<Kept> kept_;
};

// Whether the open file or folder lives in procfs or sysfs, whose contents the kernel makes
// afresh whenever they are read (or listed) from the start.
[[nodiscard]] bool isKernelGenerated(int fd) noexcept;

} // namespace trovimo
