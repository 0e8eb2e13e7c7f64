#include "tools/SampleJson.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trovimo {
namespace {

TEST(AppendJsonString, EscapesAndRepairsBytes) {
    struct Case {
        const char* name;
        std::string_view input;
        std::string_view expected;
    };
    const Case cases[] = {
        {"plain", "Home", R"("Home")"},
        {"quotes and backslash", R"(a"b\c)", R"("a\"b\\c")"},
        {"control characters", std::string_view("\n\t\r\x01\x7f\0", 6),
         R"("\n\t\r\u0001\u007f\u0000")"},
        {"UTF-8 kept", "caf\xC3\xA9 \xF0\x9F\x93\xB6", "\"caf\xC3\xA9 \xF0\x9F\x93\xB6\""},
        {"stray continuation byte", "a\x80z", "\"a\xEF\xBF\xBDz\""},
        {"Latin-1 byte", "caf\xE9", "\"caf\xEF\xBF\xBD\""},
        {"overlong slash", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"surrogate", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"cut short at the end", "ab\xE6\x97", "\"ab\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80",
         "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Case& c : cases) {
        std::string out;
        appendJsonString(out, c.input);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(AppendJsonNumber, ShortestFormAndNullForNonFinite) {
    const auto text = [](double value) {
        std::string out;
        appendJsonNumber(out, value);
        return out;
    };
    EXPECT_EQ(text(0.25), "0.25");
    EXPECT_EQ(text(0.0), "0");
    EXPECT_EQ(text(1234567.0), "1234567");
    EXPECT_EQ(text(std::nan("")), "null");
    EXPECT_EQ(text(std::numeric_limits<double>::infinity()), "null");
}

TEST(SampleJson, EveryFieldUnderItsRecordNameWithAbsentAsNull) {
    StatsSnapshot stats;
    stats.memory = MemoryStats{300, 1000, 100, 150, 50, 7, 70, MemoryPressure::warning};
    stats.networkInfo =
        NetworkInfo{"wlp2s0", "Wi-Fi", std::string("caf\xE9"), std::string("Wi-Fi 6")};
    stats.disk = DiskUsage{600, 1000, 100, 0};
    stats.selfStats = SelfStats{0.015, 4096};
    stats.cpuHistory = {0.5};

    const std::string line = sampleJson(stats);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    QJsonParseError error{};
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;

    EXPECT_TRUE(json.value("cpu").isNull());
    EXPECT_TRUE(json.value("gpu").isNull());
    EXPECT_TRUE(json.value("network").isNull());
    const QJsonObject memoryJson = json.value("memory").toObject();
    EXPECT_EQ(memoryJson.value("used").toInteger(), 300);
    EXPECT_EQ(memoryJson.value("total").toInteger(), 1000);
    EXPECT_EQ(memoryJson.value("app").toInteger(), 100);
    EXPECT_EQ(memoryJson.value("wired").toInteger(), 150);
    EXPECT_EQ(memoryJson.value("compressed").toInteger(), 50);
    EXPECT_EQ(memoryJson.value("swapUsed").toInteger(), 7);
    EXPECT_EQ(memoryJson.value("swapTotal").toInteger(), 70);
    EXPECT_EQ(memoryJson.value("pressure").toString(), "warning");
    const QJsonObject infoJson = json.value("networkInfo").toObject();
    EXPECT_EQ(infoJson.value("interfaceName").toString(), "wlp2s0");
    EXPECT_EQ(infoJson.value("bsdName").toString(), "wlp2s0");
    EXPECT_EQ(infoJson.value("ssid").toString(), QString::fromUtf8("caf\xEF\xBF\xBD"));
    EXPECT_EQ(infoJson.value("wifiGeneration").toString(), "Wi-Fi 6");
    EXPECT_EQ(infoJson.value("detailText").toString(),
              QString::fromUtf8("Wi-Fi 6 \xC2\xB7 caf\xEF\xBF\xBD"));
    const QJsonObject diskJson = json.value("disk").toObject();
    EXPECT_EQ(diskJson.value("used").toInteger(), 600);
    EXPECT_EQ(diskJson.value("system").toInteger(), 100);
    EXPECT_EQ(diskJson.value("purgeable").toInteger(), 0);
    const QJsonObject selfJson = json.value("selfStats").toObject();
    EXPECT_DOUBLE_EQ(selfJson.value("cpu").toDouble(), 0.015);
    EXPECT_EQ(selfJson.value("memory").toInteger(), 4096);
    EXPECT_FALSE(json.contains("cpuHistory"));
}

TEST(SampleJson, OptionalBlocksBeforeTheSelfLoad) {
    StatsSnapshot stats;
    stats.sensors =
        SensorReadings{Temperature{52.5, 100.0, 100.0}, std::nullopt, std::nullopt, 2400};
    stats.battery =
        BatteryStatus{71.5, BatteryState::pluggedIn, std::chrono::seconds(12300), std::nullopt};

    const std::string line = sampleJson(stats);
    EXPECT_LT(line.find("\"diskActivity\""), line.find("\"selfStats\""));
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    const QJsonObject sensors = json.value("sensors").toObject();
    EXPECT_EQ(sensors.value("cpu").toObject().value("celsius").toDouble(), 52.5);
    EXPECT_EQ(sensors.value("cpu").toObject().value("critical").toDouble(), 100.0);
    EXPECT_TRUE(sensors.value("gpu").isNull());
    EXPECT_EQ(sensors.value("fanRpm").toInteger(), 2400);
    const QJsonObject battery = json.value("battery").toObject();
    EXPECT_EQ(battery.value("state").toString(), "pluggedIn");
    EXPECT_EQ(battery.value("timeLeft").toInteger(), 12300);
    EXPECT_TRUE(battery.value("powerWatts").isNull());
    EXPECT_TRUE(json.value("diskActivity").isNull());
}

} // namespace
} // namespace trovimo
