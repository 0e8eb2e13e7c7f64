#include "readers/SensorsReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

TEST(SensorsParsing, DriverValuesAndTheirMarkers) {
    using Case = std::tuple<std::string_view, std::optional<double>, std::optional<double>,
                            std::optional<std::uint32_t>>;
    const Case cases[] = {
        {"48500\n", 48.5, 48.5, 48500},
        {"-5000\n", -5.0, std::nullopt, std::nullopt}, // a sensor outdoors; no limit below 0
        {"-273150\n", std::nullopt, std::nullopt, std::nullopt},  // NVMe: no limit set
        {"65261850\n", std::nullopt, std::nullopt, std::nullopt}, // NVMe: 0xffff kelvin
        {"-128000\n", std::nullopt, std::nullopt, std::nullopt},  // IT87: open diode
        {"0\n", 0.0, std::nullopt, 0U},
        {"1000\n", 1.0, std::nullopt, 1000U},      // a broken firmware's limit: the defaults apply
        {"65535\n", 65.535, 65.535, std::nullopt}, // a tach reading all ones
        {"52.5\n", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& [text, reading, limit, rpm] : cases) {
        EXPECT_EQ(parseMillidegrees(text), reading) << text;
        EXPECT_EQ(parseTemperatureLimit(text), limit) << text;
        EXPECT_EQ(parseFanRpm(text), rpm) << text;
    }
}

// The Intel laptop (coretemp's package, the NVMe's limits, one fan) is checked through
// trovimo-sample in tests.cmake.
TEST(SensorsReader, MachinesAsTheirDriversReportThem) {
    using Case = std::pair<const char*, std::optional<SensorReadings>>;
    const Case cases[] = {
        // k10temp's Tctl with the default limits; amdgpu's edge with its critical limit; the
        // GPU fan stopped (zero-rpm mode) and the board's empty headers left out.
        {"sensors/amd-desktop",
         SensorReadings{Temperature{61.25, 85.0, 95.0}, Temperature{45.0, 85.0, 100.0},
                        Temperature{41.85, 84.85, 89.85}, 1180}},
        {"sensors/unlabelled", SensorReadings{Temperature{45.5, 70.0, 95.0},
                                              Temperature{38.0, 85.0, 94.0}, std::nullopt, 1250}},
        {"sensors/arm-board",
         SensorReadings{Temperature{48.686, 85.0, 95.0}, std::nullopt, std::nullopt, std::nullopt}},
        {"battery/intel-laptop", std::nullopt},
    };
    for (const auto& [fixture, expected] : cases) {
        SensorsReader reader(test::fixturePath(fixture));
        EXPECT_EQ(reader.read(), expected) << fixture;
    }
}

// A tick reads the files found by the last search, and asks a runtime-managed GPU whether it
// sleeps first; new chips appear only with the next search.
TEST(SensorsReader, TicksReadOnlyWhatTheLastSearchFound) {
    test::ScratchProcTree tree;
    tree.install("sensors/amd-desktop");
    const std::string gpu = "sys/class/hwmon/hwmon1/";
    std::chrono::nanoseconds now = 100s;
    SensorsReader reader(tree.root(), [&] { return now; });
    ASSERT_TRUE(reader.read()->gpu);

    tree.write(gpu + "device/power/runtime_status", "suspended\n");
    tree.write(gpu + "temp1_input", "47000\n");
    tree.write("sys/class/hwmon/hwmon2/temp1_input", "70125\n");
    tree.write("sys/class/hwmon/hwmon3/fan2_input", "0\n"); // unlabelled fans at rest
    tree.write("sys/class/hwmon/hwmon3/fan4_input", "0\n");
    tree.write("sys/class/hwmon/hwmon4/name", "nvme\n");
    tree.write("sys/class/hwmon/hwmon4/temp1_input", "60000\n");
    auto readings = reader.read();
    EXPECT_FALSE(readings->gpu);
    EXPECT_EQ(readings->cpu->celsius, 70.125);
    EXPECT_EQ(readings->ssd->celsius, 41.85);
    EXPECT_FALSE(readings->fanRpm);

    tree.write(gpu + "device/power/runtime_status", "active\n");
    EXPECT_EQ(reader.read()->gpu->celsius, 47.0);

    now += SensorsReader::discoverySpacing;
    EXPECT_EQ(reader.read()->ssd->celsius, 60.0);
}

} // namespace
} // namespace trovimo
