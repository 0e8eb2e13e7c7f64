#include "readers/BatteryReader.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace trovimo {
namespace {

using std::chrono::seconds;
using State = BatteryState;

BatteryFigures energyPack(State state, std::int64_t now, std::int64_t full,
                          std::optional<std::int64_t> power) {
    BatteryFigures pack;
    pack.state = state;
    pack.energyNow = now;
    pack.energyFull = full;
    pack.powerNow = power;
    return pack;
}

BatteryFigures chargePack(State state, std::int64_t now, std::int64_t full, std::int64_t current,
                          std::optional<std::int64_t> voltage) {
    BatteryFigures pack;
    pack.state = state;
    pack.chargeNow = now;
    pack.chargeFull = full;
    pack.currentNow = current;
    pack.voltageNow = voltage;
    return pack;
}

TEST(BatteryStatusFrom, PacksTakenTogether) {
    BatteryFigures capacityOnly;
    capacityOnly.state = State::pluggedIn;
    capacityOnly.capacity = 80;
    using Case = std::tuple<const char*, std::vector<BatteryFigures>, std::optional<BatteryStatus>>;
    const Case cases[] = {
        {"energy, discharging",
         {energyPack(State::discharging, 20'000'000, 40'000'000, 8'000'000)},
         BatteryStatus{50.0, State::discharging, seconds(9000), 8.0}},
        {"charge with voltage, charging: no time left",
         {chargePack(State::charging, 3'000'000, 4'000'000, 1'000'000, 12'000'000)},
         BatteryStatus{75.0, State::charging, std::nullopt, 12.0}},
        // Some drivers sign the current; a lone pack needs no voltage for percent and time.
        {"lone charge pack without voltage",
         {chargePack(State::discharging, 2'000'000, 4'000'000, -500'000, std::nullopt)},
         BatteryStatus{50.0, State::discharging, seconds(14400), std::nullopt}},
        {"two packs: energies summed, one discharging",
         {energyPack(State::unknown, 10'000'000, 20'000'000, 0),
          energyPack(State::discharging, 30'000'000, 60'000'000, 10'000'000)},
         BatteryStatus{50.0, State::discharging, seconds(14400), 10.0}},
        {"charge without voltage beside another pack is left out",
         {energyPack(State::full, 50'000'000, 50'000'000, 0),
          chargePack(State::full, 1'000'000, 4'000'000, 0, std::nullopt)},
         BatteryStatus{100.0, State::full, std::nullopt, 0.0}},
        {"full and idle packs on mains",
         {energyPack(State::full, 50'000'000, 50'000'000, 0),
          energyPack(State::unknown, 10'000'000, 30'000'000, 0)},
         BatteryStatus{75.0, State::pluggedIn, std::nullopt, 0.0}},
        {"no draw while discharging: no time",
         {energyPack(State::discharging, 20'000'000, 40'000'000, 0)},
         BatteryStatus{50.0, State::discharging, std::nullopt, 0.0}},
        {"a draw near zero promises no days",
         {energyPack(State::discharging, 40'000'000, 40'000'000, 100'000)},
         BatteryStatus{100.0, State::discharging, std::nullopt, 0.1}},
        {"now beyond full is clamped",
         {energyPack(State::full, 41'000'000, 40'000'000, std::nullopt)},
         BatteryStatus{100.0, State::full, std::nullopt, std::nullopt}},
        // A figure no battery reports leaves out what needs it, nothing else.
        {"a draw of INT64_MIN µW",
         {energyPack(State::discharging, 20'000'000, 40'000'000,
                     std::numeric_limits<std::int64_t>::min())},
         BatteryStatus{50.0, State::discharging, std::nullopt, std::nullopt}},
        {"a charge below zero",
         {energyPack(State::discharging, -5, 40'000'000, 8'000'000)},
         BatteryStatus{std::nullopt, State::discharging, std::nullopt, 8.0}},
        {"percentage only",
         {capacityOnly},
         BatteryStatus{80.0, State::pluggedIn, std::nullopt, std::nullopt}},
        {"no figures", {BatteryFigures{}}, std::nullopt},
        {"no packs", {}, std::nullopt},
    };
    for (const auto& [name, packs, expected] : cases) {
        EXPECT_EQ(batteryStatusFrom(packs), expected) << name;
    }
}

// upower's arithmetic over the same files: energy / energy-full, energy / energy-rate. (The
// laptop's pack, beside its mouse's, is checked through trovimo-sample in tests.cmake.)
TEST(BatteryReader, MachinesAsTheKernelReportsThem) {
    using Case = std::pair<const char*, std::optional<BatteryStatus>>;
    const Case cases[] = {
        // 2.95 of 4.4 Ah; 1.25 A at 12.1 V.
        {"battery/charge-units",
         BatteryStatus{100.0 * 2.95 / 4.4, State::charging, std::nullopt, 1.25 * 12.1}},
        // 51.6 of 94.58 Wh at 6.9 W: 7 h 29 min.
        {"battery/two-packs",
         BatteryStatus{100.0 * 51.6 / 94.58, State::discharging, seconds(26922), 6.9}},
        {"sensors/amd-desktop", std::nullopt},
    };
    for (const auto& [fixture, expected] : cases) {
        BatteryReader reader(test::fixturePath(fixture));
        const auto status = reader.read();
        ASSERT_EQ(status.has_value(), expected.has_value()) << fixture;
        if (!status) {
            continue;
        }
        EXPECT_NEAR(status->percent.value_or(-1), *expected->percent, 1e-9) << fixture;
        EXPECT_EQ(status->state, expected->state) << fixture;
        EXPECT_EQ(status->timeLeft, expected->timeLeft) << fixture;
        ASSERT_TRUE(status->powerWatts) << fixture;
        EXPECT_NEAR(*status->powerWatts, *expected->powerWatts, 1e-9) << fixture;
    }
}

} // namespace
} // namespace trovimo
