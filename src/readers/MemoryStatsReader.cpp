#include "readers/MemoryStatsReader.h"

#include "core/UniqueFd.h"
#include "readers/Counters.h"
#include "readers/KernelText.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace trovimo {
namespace {

using kerneltext::nextField;
using kerneltext::nextLine;

// The avg10 figure of a PSI line such as "some avg10=1.23 avg60=0.50 avg300=0.10 total=42".
std::optional<double> avg10Of(std::string_view rest) {
    const std::string_view field = nextField(rest);
    constexpr std::string_view prefix = "avg10=";
    if (field.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    const auto value = kerneltext::parseDecimal(field.substr(prefix.size()));
    if (!value || *value > 100.0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<MeminfoFigures> parseMeminfo(std::string_view text) {
    struct Field {
        std::string_view key;
        std::uint64_t MeminfoFigures::*member;
    };
    static constexpr std::array<Field, 11> fields{{
        {"MemTotal", &MeminfoFigures::memTotal},
        {"MemFree", &MeminfoFigures::memFree},
        {"Active", &MeminfoFigures::active},
        {"Inactive", &MeminfoFigures::inactive},
        {"Active(anon)", &MeminfoFigures::activeAnon},
        {"Inactive(anon)", &MeminfoFigures::inactiveAnon},
        {"Unevictable", &MeminfoFigures::unevictable},
        {"SReclaimable", &MeminfoFigures::sReclaimable},
        {"Zswap", &MeminfoFigures::zswap},
        {"SwapTotal", &MeminfoFigures::swapTotal},
        {"SwapFree", &MeminfoFigures::swapFree},
    }};
    // Lines a kernel may lack, where a missing line is not the same as 0.
    struct OptionalField {
        std::string_view key;
        std::optional<std::uint64_t> MeminfoFigures::*member;
    };
    static constexpr std::array<OptionalField, 2> optionalFields{{
        {"MemAvailable", &MeminfoFigures::memAvailable},
        {"KReclaimable", &MeminfoFigures::kReclaimable},
    }};
    MeminfoFigures figures;
    bool sawTotal = false;
    constexpr unsigned allFound = (1u << (fields.size() + optionalFields.size())) - 1;
    unsigned found = 0;
    std::string_view line;
    while (nextLine(text, line)) {
        std::string_view key;
        std::string_view rest;
        if (!kerneltext::splitAtColon(line, key, rest)) {
            continue;
        }
        std::uint64_t* target = nullptr;
        unsigned bit = 0;
        for (std::size_t index = 0; index < fields.size() && target == nullptr; ++index) {
            if (fields[index].key == key) {
                target = &(figures.*fields[index].member);
                bit = 1u << index;
            }
        }
        for (std::size_t index = 0; index < optionalFields.size() && target == nullptr; ++index) {
            if (optionalFields[index].key == key) {
                target = &(figures.*optionalFields[index].member).emplace();
                bit = 1u << (fields.size() + index);
            }
        }
        if (target == nullptr) {
            continue;
        }
        const auto bytes = kerneltext::parseKibFigure(rest);
        if (!bytes) {
            return std::nullopt;
        }
        *target = *bytes;
        sawTotal = sawTotal || target == &figures.memTotal;
        // The lines we use all come in the first half of the file; the rest (huge pages,
        // direct map) need not be looked at once every one of ours was seen.
        found |= bit;
        if (found == allFound) {
            break;
        }
    }
    if (!sawTotal || figures.memTotal == 0) {
        return std::nullopt;
    }
    return figures;
}

std::optional<MemoryPressure> parseMemoryPressure(std::string_view text) {
    std::optional<double> some;
    double full = 0.0; // kernels that print no "full" line stall nobody fully
    std::string_view line;
    while (nextLine(text, line)) {
        std::string_view rest = line;
        const std::string_view kind = nextField(rest);
        if (kind.empty()) {
            continue;
        }
        const auto avg10 = avg10Of(rest);
        if (!avg10) {
            return std::nullopt;
        }
        if (kind == "some") {
            some = avg10;
        } else if (kind == "full") {
            full = *avg10;
        } else {
            return std::nullopt;
        }
    }
    if (!some) {
        return std::nullopt;
    }
    return memoryPressureFromAverages(*some, full);
}

MemoryPressure memoryPressureFromAverages(double someAvg10, double fullAvg10) noexcept {
    if (fullAvg10 >= 10.0) {
        return MemoryPressure::critical;
    }
    return someAvg10 >= 10.0 ? MemoryPressure::warning : MemoryPressure::normal;
}

std::optional<std::uint64_t> parseZramMemoryUsed(std::string_view text) {
    // orig_data_size compr_data_size mem_used_total ...
    kerneltext::skipField(text);
    kerneltext::skipField(text);
    return kerneltext::nextU64(text);
}

std::optional<std::uint64_t> parseArcSize(std::string_view text) {
    // A kstat header line, a "name type data" line, then one "name type value" row each.
    std::string_view line;
    while (nextLine(text, line)) {
        std::string_view rest = line;
        if (nextField(rest) != "size") {
            continue;
        }
        kerneltext::skipField(rest);
        return kerneltext::nextU64(rest);
    }
    return std::nullopt;
}

MemoryStats memoryStatsFrom(const MeminfoFigures& figures, std::uint64_t zramBytes,
                            std::optional<std::uint64_t> arcBytes,
                            std::optional<MemoryPressure> pressure) {
    MemoryStats stats;
    stats.total = figures.memTotal;
    // Linux keeps no purgeable count; pages freed lazily (MADV_FREE) already sit on the file
    // lists, so the anonymous lists alone are the applications' memory.
    stats.app = saturatingAdd(figures.activeAnon, figures.inactiveAnon);
    // zswap's pool and zram's zsmalloc pages are kernel allocations on no LRU list.
    stats.compressed = saturatingAdd(figures.zswap, zramBytes);
    stats.swapTotal = figures.swapTotal;
    stats.swapUsed = saturatingSub(figures.swapTotal, figures.swapFree);
    stats.pressure = pressure;
    if (figures.memAvailable) {
        // Used as every other tool counts it. Wired is what the kernel holds and will not give
        // back: its own allocations, the watermark reserves, the caches it cannot drop (and a
        // ZFS ARC, which MemAvailable does not count either).
        const std::uint64_t used = saturatingSub(figures.memTotal, *figures.memAvailable);
        stats.wired = saturatingSub(saturatingSub(used, stats.app), stats.compressed);
        stats.used = saturatingAdd(saturatingAdd(stats.app, stats.wired), stats.compressed);
        return stats;
    }
    // Whatever is neither free, on an LRU list, reclaimable kernel memory nor compressed
    // memory is held by the kernel: page tables, unreclaimable slab, stacks, vmalloc,
    // driver pages. Added to the unevictable (mlocked, ramfs) pages that is "wired".
    const std::uint64_t reclaimable = figures.kReclaimable.value_or(figures.sReclaimable);
    std::uint64_t kernel = figures.memTotal;
    for (const std::uint64_t part : {figures.memFree, figures.active, figures.inactive,
                                     figures.unevictable, reclaimable, stats.compressed}) {
        kernel = saturatingSub(kernel, part);
    }
    // The ZFS ARC is a cache, reclaimable like the page cache, but it is on no LRU list and
    // would otherwise land here: half the machine's memory "wired" on a ZFS box.
    if (arcBytes) {
        kernel = saturatingSub(kernel, *arcBytes);
    }
    stats.wired = saturatingAdd(figures.unevictable, kernel);
    stats.used = saturatingAdd(saturatingAdd(stats.app, stats.wired), stats.compressed);
    return stats;
}

MemoryStatsReader::MemoryStatsReader(const std::string& root)
    : meminfoPath_(kerneltext::pathUnderRoot(root, "proc/meminfo")),
      pressurePath_(kerneltext::pathUnderRoot(root, "proc/pressure/memory")),
      arcstatsPath_(kerneltext::pathUnderRoot(root, "proc/spl/kstat/zfs/arcstats")),
      blockPath_(kerneltext::pathUnderRoot(root, "sys/block")), file_(8192),
      directoryBuffer_(4096) {}

void MemoryStatsReader::findZramDevices() {
    zramStatPaths_.clear();
    // getdents64 straight into our own buffer: opendir() would allocate a DIR every read.
    // The kernel's folder stays open and is listed again from its start (another folder,
    // such as a test's, may be replaced and is opened every time).
    UniqueFd transient;
    int directory = blockDirectory_.get();
    if (!blockDirectory_ || ::lseek(directory, 0, SEEK_SET) != 0) {
        blockDirectory_.reset();
        transient.reset(::open(blockPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!transient) {
            return;
        }
        if (isKernelGenerated(transient.get())) {
            blockDirectory_ = std::move(transient);
        }
        directory = blockDirectory_ ? blockDirectory_.get() : transient.get();
    }
    for (;;) {
        const long got =
            ::syscall(SYS_getdents64, directory, directoryBuffer_.data(), directoryBuffer_.size());
        if (got <= 0) {
            return;
        }
        for (long offset = 0; offset < got;) {
            // struct linux_dirent64: u64 ino, s64 off, u16 reclen, u8 type, char name[].
            constexpr std::size_t nameOffset = 19;
            const char* record = directoryBuffer_.data() + offset;
            unsigned short recordLength = 0;
            std::memcpy(&recordLength, record + 16, sizeof recordLength);
            if (recordLength <= nameOffset || offset + recordLength > got) {
                return;
            }
            const std::string_view name(record + nameOffset,
                                        ::strnlen(record + nameOffset, recordLength - nameOffset));
            offset += recordLength;
            // A folder with thousands of block devices is no machine's; stop counting.
            if (name.substr(0, 4) != "zram" || name.size() > 32 || zramStatPaths_.size() >= 64) {
                continue;
            }
            std::string path = blockPath_;
            path.push_back('/');
            path.append(name);
            path.append("/mm_stat");
            zramStatPaths_.push_back(std::move(path));
        }
    }
}

std::uint64_t MemoryStatsReader::zramBytes() {
    std::uint64_t total = 0;
    for (const std::string& path : zramStatPaths_) {
        if (const auto text = file_.read(path)) {
            total = saturatingAdd(total, parseZramMemoryUsed(*text).value_or(0));
        } else {
            readsSinceScan_ = rescanInterval; // gone: look again at the next read
        }
    }
    return total;
}

std::optional<MemoryStats> MemoryStatsReader::read() {
    const auto meminfoText = file_.read(meminfoPath_);
    if (!meminfoText) {
        return std::nullopt;
    }
    const auto figures = parseMeminfo(*meminfoText);
    if (!figures) {
        return std::nullopt;
    }
    const bool rescan = readsSinceScan_ >= rescanInterval;
    if (rescan) {
        readsSinceScan_ = 0;
        findZramDevices();
    }
    ++readsSinceScan_;
    const std::uint64_t zram = zramBytes();
    std::optional<std::uint64_t> arc;
    if (!figures->memAvailable && (rescan || arcFound_)) {
        const auto text = file_.read(arcstatsPath_);
        arcFound_ = text.has_value();
        if (text) {
            arc = parseArcSize(*text);
        }
    }
    std::optional<MemoryPressure> pressure;
    // Missing when the kernel was built or booted without PSI: the sample goes on without.
    if (const auto text = file_.read(pressurePath_)) {
        pressure = parseMemoryPressure(*text);
    }
    return memoryStatsFrom(*figures, zram, arc, pressure);
}

} // namespace trovimo
