#include "panel/SpokenTexts.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace trovimo {
namespace {

constexpr std::uint64_t gb = 1'000'000'000;

// What a listener hears where the panel draws arrows, dashes, colours and short units.
TEST(SpokenTexts, FiguresReadInWords) {
    struct Row {
        const char* what;
        PanelBlock block;
        std::function<void(StatsSnapshot&, PanelInputs&)> given;
        const char* heard;
    };
    const Row rows[] = {
        {"no sample yet", Block::cpu, [](StatsSnapshot&, PanelInputs&) {}, "データなし"},
        {"the busiest core beside the total", Block::cpu,
         [](StatsSnapshot& s, PanelInputs&) {
             s.cpu = CPULoad{0.452, {0.3, 0.604}};
         },
         "45パーセント、最も高いコア 60パーセント"},
        {"no GPU figure", Block::gpu, [](StatsSnapshot&, PanelInputs&) {}, "データなし"},
        {"memory with swap and pressure", Block::memory,
         [](StatsSnapshot& s, PanelInputs&) {
             s.memory = MemoryStats{11 * gb, 16 * gb,       8 * gb,        2 * gb,
                                    1 * gb,  1'200'000'000, 2'100'000'000, MemoryPressure::warning};
         },
         "16.0ギガバイト中 11.0ギガバイト使用、アプリ 8.0ギガバイト、固定 2.0ギガバイト、"
         "圧縮 1.0ギガバイト、スワップ 2.1ギガバイト中 1.2ギガバイト使用、圧力 注意"},
        {"directions instead of arrows", Block::network,
         [](StatsSnapshot& s, PanelInputs&) {
             s.network = NetworkSpeed{1'250'000, 48'000};
             s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", "Home", "Wi-Fi 6"};
         },
         "Wi-Fi 6、Home、ダウンロード 毎秒1.2メガバイト、アップロード 毎秒48.0キロバイト"},
        {"no rates yet", Block::network, [](StatsSnapshot&, PanelInputs&) {},
         "ダウンロード データなし、アップロード データなし"},
        {"over the threshold: the red triangle in words", Block::disk,
         [](StatsSnapshot& s, PanelInputs&) {
             s.disk = DiskUsage{950 * std::int64_t{gb}, 1000 * std::int64_t{gb},
                                40 * std::int64_t{gb}, 30 * std::int64_t{gb}};
         },
         "警告、残り 50.0ギガバイト、OS 40.0ギガバイト、データ 880ギガバイト、解放可 "
         "30.0ギガバイト、使用率がしきい値 90パーセントを超えています"},
        {"near the threshold: the orange in words", Block::disk,
         [](StatsSnapshot& s, PanelInputs&) {
             s.disk = DiskUsage{850 * std::int64_t{gb}, 1000 * std::int64_t{gb}, 0, 0};
         },
         "注意、残り 150ギガバイト、OS 0バイト、データ 850ギガバイト、解放可 0バイト、"
         "1.0テラバイト中 850ギガバイト使用"},
        {"another machine's disk: no trash share", Block::disk,
         [](StatsSnapshot& s, PanelInputs&) {
             s.disk = DiskUsage{100 * std::int64_t{gb}, 1000 * std::int64_t{gb}, 0, {}};
         },
         "残り 900ギガバイト、OS 0バイト、データ 100ギガバイト、1.0テラバイト中 100ギガバイト使用"},
        {"another machine out of reach", PanelNotice::sourceLine,
         [](StatsSnapshot& s, PanelInputs&) {
             s.sourceName = QStringLiteral("NAS");
             s.sourceState = SourceState::unreachable;
         },
         "NAS、接続できません"},
        {"a hot GPU, degrees and the fan in words", Block::sensors,
         [](StatsSnapshot& s, PanelInputs&) {
             s.sensors = SensorReadings{Temperature{52.4}, Temperature{90.0}, std::nullopt, 1200};
         },
         "最高 90度 注意、CPU 52度、GPU 90度 注意、ファン 毎分1200回転"},
        {"a battery running low", Block::battery,
         [](StatsSnapshot& s, PanelInputs&) {
             s.battery =
                 BatteryStatus{8.0, BatteryState::discharging, std::chrono::minutes(205), -8.44};
         },
         "8パーセント、警告、放電中、残り 3時間25分、8.4ワット"},
        {"a battery whose charge nobody reports", Block::battery,
         [](StatsSnapshot& s, PanelInputs&) {
             s.battery = BatteryStatus{std::nullopt, BatteryState::charging, {}, {}};
         },
         "充電中"},
        {"reads and writes", Block::diskActivity,
         [](StatsSnapshot& s, PanelInputs&) {
             s.diskActivity = DiskActivity{12'300'000, 0, "nvme0n1"};
         },
         "nvme0n1、読み込み 毎秒12.3メガバイト、書き込み 毎秒0バイト"},
        {"own load", Block::self,
         [](StatsSnapshot& s, PanelInputs&) {
             s.selfStats = SelfStats{0.0083, 41'200'000};
         },
         "CPU 0.8パーセント、メモリ 41.2メガバイト"},
        {"the badge's version", PanelNotice::updateBadge,
         [](StatsSnapshot&, PanelInputs& in) { in.update.latestVersion = QStringLiteral("2.0"); },
         "バージョン 2.0"},
    };
    for (const Row& row : rows) {
        PanelInputs inputs;
        StatsSnapshot snapshot;
        row.given(snapshot, inputs);
        inputs.stats = std::make_shared<const StatsSnapshot>(std::move(snapshot));
        EXPECT_EQ(spoken::blockValue(row.block, inputs).toStdString(), row.heard) << row.what;
    }
    // Named as their switches, not as the window or a shorter label.
    EXPECT_EQ(spoken::blockName(Block::self), QStringLiteral("Trovimo 自身の負荷"));
    EXPECT_EQ(spoken::blockName(Block::sensors), QStringLiteral("温度とファン"));
}

} // namespace
} // namespace trovimo
