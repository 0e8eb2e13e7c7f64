#include "tools/SampleJson.h"

#include "model/Blocks.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace trovimo {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 if there is none
// (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

template <typename Integer> void appendInteger(std::string& out, Integer value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

class ObjectWriter {
public:
    explicit ObjectWriter(std::string& out) : out_(out) { out_.push_back('{'); }
    ~ObjectWriter() { out_.push_back('}'); }
    ObjectWriter(const ObjectWriter&) = delete;
    ObjectWriter& operator=(const ObjectWriter&) = delete;

    std::string& key(std::string_view name) {
        if (!first_) {
            out_.push_back(',');
        }
        first_ = false;
        appendJsonString(out_, name);
        out_.push_back(':');
        return out_;
    }
    void number(std::string_view name, double value) { appendJsonNumber(key(name), value); }
    void integer(std::string_view name, std::uint64_t value) { appendInteger(key(name), value); }
    void integer(std::string_view name, std::int64_t value) { appendInteger(key(name), value); }
    void string(std::string_view name, std::string_view value) {
        appendJsonString(key(name), value);
    }
    void optionalString(std::string_view name, const std::optional<std::string>& value) {
        if (value) {
            string(name, *value);
        } else {
            null(name);
        }
    }
    void null(std::string_view name) { key(name).append("null"); }

private:
    std::string& out_;
    bool first_ = true;
};

std::string_view pressureName(MemoryPressure pressure) {
    switch (pressure) {
    case MemoryPressure::normal:
        return "normal";
    case MemoryPressure::warning:
        return "warning";
    case MemoryPressure::critical:
        return "critical";
    }
    return "normal";
}

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out.push_back('"');
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c < 0x20 || c == 0x7F) {
            out.append("\\u00");
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        } else if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text);
            if (length == 0) {
                out.append("\xEF\xBF\xBD"); // U+FFFD for the one byte
            } else {
                out.append(text.substr(0, length));
                text.remove_prefix(length - 1);
            }
        } else {
            out.push_back(static_cast<char>(c));
        }
        text.remove_prefix(1);
    }
    out.push_back('"');
}

void appendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

namespace {

void writeCPU(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& cpu = stats.cpu) {
        ObjectWriter object(root.key("cpu"));
        object.number("total", cpu->total);
        std::string& list = object.key("perCore");
        list.push_back('[');
        for (std::size_t core = 0; core < cpu->perCore.size(); ++core) {
            if (core > 0) {
                list.push_back(',');
            }
            appendJsonNumber(list, cpu->perCore[core]);
        }
        list.push_back(']');
    } else {
        root.null("cpu");
    }
}

void writeGPU(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto gpu = stats.gpu) {
        root.number("gpu", *gpu);
    } else {
        root.null("gpu");
    }
}

void writeMemory(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& memory = stats.memory) {
        ObjectWriter object(root.key("memory"));
        object.integer("used", memory->used);
        object.integer("total", memory->total);
        object.integer("app", memory->app);
        object.integer("wired", memory->wired);
        object.integer("compressed", memory->compressed);
        object.integer("swapUsed", memory->swapUsed);
        object.integer("swapTotal", memory->swapTotal);
        if (memory->pressure) {
            object.string("pressure", pressureName(*memory->pressure));
        } else {
            object.null("pressure");
        }
    } else {
        root.null("memory");
    }
}

void writeNetwork(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& network = stats.network) {
        ObjectWriter object(root.key("network"));
        object.number("download", network->download);
        object.number("upload", network->upload);
    } else {
        root.null("network");
    }
    if (const auto& info = stats.networkInfo) {
        ObjectWriter object(root.key("networkInfo"));
        object.string("interfaceName", info->interfaceName);
        object.string("bsdName", info->interfaceName); // the old key, for one release
        object.string("displayName", info->displayName);
        object.optionalString("ssid", info->ssid);
        object.optionalString("wifiGeneration", info->wifiGeneration);
        object.string("detailText", info->detailText());
    } else {
        root.null("networkInfo");
    }
}

void writeDisk(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& disk = stats.disk) {
        ObjectWriter object(root.key("disk"));
        object.integer("used", disk->used);
        object.integer("total", disk->total);
        object.integer("system", disk->system);
        if (disk->purgeable) {
            object.integer("purgeable", *disk->purgeable);
        } else {
            object.null("purgeable"); // another machine's: unknown
        }
    } else {
        root.null("disk");
    }
}

void writeTemperature(ObjectWriter& sensors, std::string_view name,
                      const std::optional<Temperature>& temperature) {
    if (!temperature) {
        sensors.null(name);
        return;
    }
    ObjectWriter object(sensors.key(name));
    object.number("celsius", temperature->celsius);
    object.number("high", temperature->high);
    object.number("critical", temperature->critical);
}

void writeSensors(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& sensors = stats.sensors) {
        ObjectWriter object(root.key("sensors"));
        writeTemperature(object, "cpu", sensors->cpu);
        writeTemperature(object, "gpu", sensors->gpu);
        writeTemperature(object, "ssd", sensors->ssd);
        if (sensors->fanRpm) {
            object.integer("fanRpm", std::uint64_t{*sensors->fanRpm});
        } else {
            object.null("fanRpm");
        }
    } else {
        root.null("sensors");
    }
}

std::string_view batteryStateName(BatteryState state) {
    switch (state) {
    case BatteryState::charging:
        return "charging";
    case BatteryState::discharging:
        return "discharging";
    case BatteryState::full:
        return "full";
    case BatteryState::pluggedIn:
        return "pluggedIn";
    case BatteryState::unknown:
        break;
    }
    return "unknown";
}

void writeBattery(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& battery = stats.battery) {
        ObjectWriter object(root.key("battery"));
        if (battery->percent) {
            object.number("percent", *battery->percent);
        } else {
            object.null("percent");
        }
        object.string("state", batteryStateName(battery->state));
        if (battery->timeLeft) {
            object.integer("timeLeft", static_cast<std::int64_t>(battery->timeLeft->count()));
        } else {
            object.null("timeLeft");
        }
        if (battery->powerWatts) {
            object.number("powerWatts", *battery->powerWatts);
        } else {
            object.null("powerWatts");
        }
    } else {
        root.null("battery");
    }
}

void writeDiskActivity(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& disk = stats.diskActivity) {
        ObjectWriter object(root.key("diskActivity"));
        object.number("readBytesPerSecond", disk->readBytesPerSecond);
        object.number("writeBytesPerSecond", disk->writeBytesPerSecond);
        object.string("device", disk->device);
    } else {
        root.null("diskActivity");
    }
}

void writeSelf(ObjectWriter& root, const StatsSnapshot& stats) {
    if (const auto& self = stats.selfStats) {
        ObjectWriter object(root.key("selfStats"));
        object.number("cpu", self->cpu);
        object.integer("memory", self->memory);
    } else {
        root.null("selfStats");
    }
}

// The sample tool's row of the block table: a block's fields, and what --help says of them.
struct SampleFields {
    Block block;
    void (*write)(ObjectWriter& root, const StatsSnapshot& stats);
    const char* help;
};

constexpr std::array<SampleFields, blockCount - 1> fields{{
    {Block::cpu, writeCPU,
     "  cpu.total                 load of the whole CPU, fraction 0-1\n"
     "  cpu.perCore               load of each core in the kernel's order, fractions 0-1\n"},
    {Block::gpu, writeGPU, "  gpu                       GPU utilisation, fraction 0-1\n"},
    {Block::memory, writeMemory,
     "  memory.used               in use, as free counts it: total - available, bytes\n"
     "  memory.total              installed memory, bytes\n"
     "  memory.app                applications' memory (anonymous pages), bytes\n"
     "  memory.wired              the rest of used: kernel, reserves, unreclaimable caches, "
     "bytes\n"
     "  memory.compressed         memory held compressed (zswap, zram), bytes\n"
     "  memory.swapUsed           swap in use, bytes (0 when unreadable)\n"
     "  memory.swapTotal          swap space, bytes (0 when unreadable)\n"
     "  memory.pressure           \"normal\", \"warning\" or \"critical\"\n"},
    {Block::network, writeNetwork,
     "  network.download          received on the primary interface, bytes per second\n"
     "  network.upload            sent on the primary interface, bytes per second\n"
     "  networkInfo.interfaceName kernel name of the primary interface, e.g. \"wlp2s0\"\n"
     "  networkInfo.bsdName       the same under its old key, dropped in the next release\n"
     "  networkInfo.displayName   kind of link, e.g. \"Wi-Fi\"; the kernel name if unknown\n"
     "  networkInfo.ssid          Wi-Fi network name\n"
     "  networkInfo.wifiGeneration  \"Wi-Fi 4\", \"Wi-Fi 5\" or \"Wi-Fi 6\"\n"
     "  networkInfo.detailText    the line the panel shows under the network section\n"},
    {Block::disk, writeDisk,
     "  disk.used                 used on the volume holding $HOME, bytes\n"
     "  disk.total                size of that volume, bytes\n"
     "  disk.system               part of used that only root may fill, bytes\n"
     "  disk.purgeable            part of used that the user's trash on that volume takes, "
     "bytes\n"
     "                            (null for another machine)\n"},
    {Block::sensors, writeSensors,
     "  sensors.cpu, sensors.gpu, sensors.ssd\n"
     "                            hottest CPU package, GPU and NVMe drive: {\"celsius\", "
     "\"high\",\n"
     "                            \"critical\"}, degrees Celsius: the reading and the limits "
     "at which\n"
     "                            the panel shows it orange and red\n"
     "  sensors.fanRpm            the fastest fan, revolutions per minute\n"},
    {Block::battery, writeBattery,
     "  battery.percent           charge of all batteries together, percent 0-100 (null: "
     "unusable)\n"
     "  battery.state             \"charging\", \"discharging\", \"full\", \"pluggedIn\" or "
     "\"unknown\"\n"
     "  battery.timeLeft          until empty at the present draw, seconds (only discharging)\n"
     "  battery.powerWatts        what the batteries give (or take, charging), watts\n"},
    {Block::diskActivity, writeDiskActivity,
     "  diskActivity.readBytesPerSecond   read from the disks under $HOME, bytes per second\n"
     "  diskActivity.writeBytesPerSecond  written to them, bytes per second\n"
     "  diskActivity.device       their kernel name, e.g. \"nvme0n1\"; the volume's over "
     "several\n"},
    {Block::self, writeSelf,
     "  selfStats.cpu             this tool's CPU time per elapsed time, 1 = one core\n"
     "  selfStats.memory          this tool's private memory, bytes\n"},
}};

constexpr bool inTableOrder() {
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (blockIndex(fields[index].block) != index + 1) {
            return false;
        }
    }
    return true;
}
static_assert(inTableOrder(), "fields for every block after the clock, in the table's order");

} // namespace

std::string sampleJson(const StatsSnapshot& stats) {
    std::string out;
    out.reserve(1536);
    {
        ObjectWriter root(out);
        for (const SampleFields& block : fields) {
            block.write(root, stats);
        }
    } // closes the object
    return out;
}

std::string sampleFieldsHelp() {
    std::string help;
    for (const SampleFields& block : fields) {
        help += block.help;
    }
    return help;
}

} // namespace trovimo
