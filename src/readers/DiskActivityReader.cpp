#include "readers/DiskActivityReader.h"

#include "readers/Counters.h"
#include "readers/DiskStatsReader.h"
#include "readers/KernelText.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace trovimo {

namespace {

namespace fs = std::filesystem;

constexpr double bytesPerSector = 512.0;
// dm over md over dm… never goes this deep, nor has a volume this many devices beneath it;
// a cycle or a fan-out in a broken tree must not make the walk long.
constexpr int deepestStack = 8;
constexpr std::size_t mostDevicesVisited = 64;

std::optional<unsigned> parseDeviceNumber(std::string_view token) noexcept {
    const auto value = kerneltext::parseU64(token);
    if (!value || *value > 0xfffff) { // 12-bit major, 20-bit minor
        return std::nullopt;
    }
    return static_cast<unsigned>(*value);
}

// The kernel writes space, tab, newline and backslash in mount points as "\ooo".
std::string unescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

bool containsPath(std::string_view mountPoint, std::string_view path) {
    if (mountPoint == "/") {
        return true;
    }
    return path.starts_with(mountPoint) &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::string textOf(const fs::path& file) {
    WholeFileReader reader(256, 4096);
    const auto contents = reader.read(file.string());
    return contents ? std::string(kerneltext::trimmed(*contents)) : std::string();
}

// What one walk down the stacks has seen: each device folder is visited once.
struct DiskWalk {
    std::vector<std::string> disks;
    std::vector<fs::path> visited;
};

// The disks beneath one block device folder of sysfs, added to the walk's disks once each.
void collectDisks(fs::path device, DiskWalk& walk, int depth) {
    if (depth > deepestStack || walk.visited.size() >= mostDevicesVisited ||
        std::find(walk.visited.begin(), walk.visited.end(), device) != walk.visited.end()) {
        return;
    }
    walk.visited.push_back(device);
    if (kerneltext::pathExists((device / "partition").string())) {
        device = device.parent_path();
    }
    const std::string slaves = (device / "slaves").string();
    const auto below = kerneltext::entriesStartingWith(slaves, "");
    if (below.empty()) {
        std::string name = device.filename().string();
        if (std::find(walk.disks.begin(), walk.disks.end(), name) == walk.disks.end()) {
            walk.disks.push_back(std::move(name));
        }
        return;
    }
    for (const auto& slave : below) {
        std::error_code error;
        const fs::path target = fs::canonical(fs::path(slaves) / slave, error);
        if (!error) {
            collectDisks(target, walk, depth + 1);
        }
    }
}

// The name a device folder is shown by: a device-mapper volume's own name ("vg-home"), else
// the kernel's ("md0").
std::string displayName(const fs::path& device) {
    std::string mapped = textOf(device / "dm" / "name");
    return mapped.empty() ? device.filename().string() : mapped;
}

struct BtrfsVolume {
    std::vector<fs::path> devices;
    std::string label;
};

// The btrfs file system mounted from `source`, by its devices; with a single btrfs file system
// on the machine, that one even when the source names a link ("/dev/vg/home").
BtrfsVolume btrfsVolume(std::string_view root, std::string_view source) {
    const std::string_view sourceName = source.substr(source.rfind('/') + 1);
    const std::string btrfs = kerneltext::pathUnderRoot(root, "/sys/fs/btrfs");
    std::vector<BtrfsVolume> volumes;
    for (const auto& uuid : kerneltext::entriesStartingWith(btrfs, "")) {
        const fs::path folder = fs::path(btrfs) / uuid;
        BtrfsVolume volume;
        bool matches = false;
        for (const auto& entry :
             kerneltext::entriesStartingWith((folder / "devices").string(), "")) {
            std::error_code error;
            const fs::path device = fs::canonical(folder / "devices" / entry, error);
            if (error) {
                continue;
            }
            matches = matches || entry == sourceName || displayName(device) == sourceName;
            volume.devices.push_back(device);
        }
        if (volume.devices.empty()) {
            continue; // "features", not a file system
        }
        volume.label = textOf(folder / "label");
        if (matches) {
            return volume;
        }
        volumes.push_back(std::move(volume));
    }
    return volumes.size() == 1 ? volumes.front() : BtrfsVolume{};
}

} // namespace

std::optional<DiskstatsCounters> parseDiskstatsLine(std::string_view line) noexcept {
    // major minor name reads merged sectors-read ms writes merged sectors-written
    if (!parseDeviceNumber(kerneltext::nextField(line)) ||
        !parseDeviceNumber(kerneltext::nextField(line))) {
        return std::nullopt;
    }
    DiskstatsCounters counters;
    counters.name = kerneltext::nextField(line);
    std::optional<std::uint64_t> fields[7];
    for (auto& field : fields) {
        field = kerneltext::parseU64(kerneltext::nextField(line));
        if (!field) {
            return std::nullopt;
        }
    }
    if (counters.name.empty()) {
        return std::nullopt;
    }
    counters.sectorsRead = *fields[2];
    counters.sectorsWritten = *fields[6];
    return counters;
}

std::optional<MountEntry> parseMountinfoLine(std::string_view line) {
    const std::size_t separator = line.find(" - ");
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view head = line.substr(0, separator);
    std::string_view tail = line.substr(separator + 3);
    kerneltext::skipField(head); // mount id
    kerneltext::skipField(head); // parent id
    const std::string_view device = kerneltext::nextField(head);
    kerneltext::skipField(head); // root of the mount within its file system
    const std::string_view mountPoint = kerneltext::nextField(head);
    const std::size_t colon = device.find(':');
    if (colon == std::string_view::npos || mountPoint.empty()) {
        return std::nullopt;
    }
    const auto major = parseDeviceNumber(device.substr(0, colon));
    const auto minor = parseDeviceNumber(device.substr(colon + 1));
    MountEntry entry;
    entry.fsType = kerneltext::nextField(tail);
    entry.source = kerneltext::nextField(tail);
    if (!major || !minor || entry.fsType.empty() || entry.source.empty()) {
        return std::nullopt;
    }
    entry.major = *major;
    entry.minor = *minor;
    entry.mountPoint = unescapeMountField(mountPoint);
    return entry;
}

std::optional<MountEntry> mountOver(std::string_view mountinfo, std::string_view path) {
    std::optional<MountEntry> best;
    std::string_view line;
    while (kerneltext::nextLine(mountinfo, line)) {
        auto entry = parseMountinfoLine(line);
        if (entry && containsPath(entry->mountPoint, path) &&
            (!best || entry->mountPoint.size() >= best->mountPoint.size())) {
            best = std::move(entry);
        }
    }
    return best;
}

std::optional<HomeDisks> resolveHomeDisks(std::string_view root, const HomeVolume& home,
                                          std::string_view mountinfo) {
    std::vector<fs::path> tops;
    std::string label; // a name for a volume over several disks
    std::error_code error;
    if (home.major != 0) {
        const std::string link = kerneltext::pathUnderRoot(root, "/sys/dev/block/") +
                                 std::to_string(home.major) + ":" + std::to_string(home.minor);
        tops.push_back(fs::canonical(link, error));
        if (error) {
            return std::nullopt;
        }
    } else {
        // An anonymous device: the file system mounted over the home directory says what it is.
        const auto mount = mountOver(mountinfo, home.path);
        if (!mount || mount->fsType != "btrfs") {
            return std::nullopt;
        }
        BtrfsVolume volume = btrfsVolume(root, mount->source);
        tops = std::move(volume.devices);
        label = std::move(volume.label);
    }

    DiskWalk walk;
    for (const auto& top : tops) {
        collectDisks(top, walk, 0);
    }
    HomeDisks found{std::move(walk.disks), {}};
    if (found.disks.empty()) {
        return std::nullopt;
    }
    if (found.disks.size() == 1) {
        found.name = found.disks.front();
    } else {
        found.name = label.empty() ? displayName(tops.front()) : label;
    }
    return found;
}

DiskActivityReader::DiskActivityReader(std::string root, Locate locate)
    : root_(std::move(root)), diskstatsPath_(kerneltext::pathUnderRoot(root_, "/proc/diskstats")),
      locate_(locate ? std::move(locate) : Locate([root = root_] { return locateHome(root); })) {}

std::optional<HomeVolume> DiskActivityReader::locateHome(const std::string& root) {
    const std::string home = DiskStatsReader::homeDirectory();
    if (home.empty()) {
        return std::nullopt;
    }
    if (root.find_first_not_of('/') != std::string::npos) {
        WholeFileReader file;
        const auto mountinfo = file.read(kerneltext::pathUnderRoot(root, "/proc/self/mountinfo"));
        const auto mount = mountinfo ? mountOver(*mountinfo, home) : std::nullopt;
        if (!mount) {
            return std::nullopt;
        }
        return HomeVolume{home, mount->major, mount->minor};
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(home.c_str(), nullptr),
                                                           &std::free);
    struct stat info {};
    if (!real || ::stat(real.get(), &info) != 0) {
        return std::nullopt;
    }
    return HomeVolume{real.get(), ::major(info.st_dev), ::minor(info.st_dev)};
}

void DiskActivityReader::resolve(const std::optional<HomeVolume>& home) {
    std::optional<HomeDisks> found;
    if (home) {
        std::string_view mountinfo;
        if (home->major == 0) {
            mountinfo = mountinfo_.read(kerneltext::pathUnderRoot(root_, "/proc/self/mountinfo"))
                            .value_or("");
        }
        found = resolveHomeDisks(root_, *home, mountinfo);
    }
    if (found != disks_) {
        disks_ = std::move(found);
        previous_.reset(); // other disks: the counters are not comparable
    }
}

void DiskActivityReader::setHome(const std::optional<HomeVolume>& home, TimePoint now) {
    resolve(home);
    if (disks_ && !previous_) {
        if (const auto totals = readTotals()) {
            previous_.emplace(*totals, now);
        }
    }
}

std::optional<DiskActivityReader::Totals> DiskActivityReader::readTotals() {
    const auto text = diskstats_.read(diskstatsPath_);
    if (!text) {
        return std::nullopt;
    }
    Totals totals;
    std::size_t found = 0;
    std::string_view rest = *text;
    std::string_view line;
    while (kerneltext::nextLine(rest, line)) {
        // The name first: most lines are partitions and other disks, and need no numbers.
        std::string_view fields = line;
        kerneltext::skipField(fields);
        kerneltext::skipField(fields);
        const std::string_view name = kerneltext::nextField(fields);
        if (std::find(disks_->disks.begin(), disks_->disks.end(), name) == disks_->disks.end()) {
            continue;
        }
        const auto counters = parseDiskstatsLine(line);
        if (!counters) {
            return std::nullopt;
        }
        totals.read += counters->sectorsRead;
        totals.written += counters->sectorsWritten;
        ++found;
    }
    // A disk missing from the table (just removed): no half sum.
    if (found != disks_->disks.size()) {
        return std::nullopt;
    }
    return totals;
}

std::optional<DiskActivity> DiskActivityReader::read(TimePoint now) {
    if (!disks_) {
        return std::nullopt;
    }
    const auto totals = readTotals();
    if (!totals) {
        previous_.reset();
        return std::nullopt;
    }
    std::optional<DiskActivity> activity;
    if (previous_) {
        const double seconds = std::chrono::duration<double>(now - previous_->second).count();
        if (seconds > 0.0) {
            activity = DiskActivity{
                counterRate(previous_->first.read, totals->read, seconds, bytesPerSector),
                counterRate(previous_->first.written, totals->written, seconds, bytesPerSector),
                disks_->name};
        }
    }
    previous_.emplace(*totals, now);
    return activity;
}

} // namespace trovimo
