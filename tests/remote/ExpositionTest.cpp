#include "remote/Exposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace trovimo {
namespace {

// Each sample of a body as "name{a=v,...} value [timestamp]", escapes undone; then how many
// lines were skipped.
std::string described(std::string_view body) {
    std::string text;
    ExpositionReader reader(body);
    while (const ExpositionSample* sample = reader.next()) {
        text.append(sample->name);
        text.push_back('{');
        for (const ExpositionLabel& label : sample->labels) {
            text.append(label.name).append("=").append(label.valueText()).append(",");
        }
        char value[64];
        std::snprintf(value, sizeof value, "} %g", sample->value);
        text.append(value);
        if (sample->timestampMs) {
            text.append(" @").append(std::to_string(*sample->timestampMs));
        }
        text.push_back('\n');
    }
    return text + "skipped " + std::to_string(reader.skippedLines());
}

TEST(ExpositionReader, ReadsWhatTheFormatAllowsAndSkipsTheRest) {
    const std::tuple<std::string_view, std::string_view> cases[] = {
        {"# HELP a b\n# TYPE a counter\na 1\n\n", "a{} 1\nskipped 0"},
        {"node_cpu_seconds_total{cpu=\"0\",mode=\"idle\"} 53.95\n",
         "node_cpu_seconds_total{cpu=0,mode=idle,} 53.95\nskipped 0"},
        // Blanks around everything, a trailing comma, empty braces, CRLF, a timestamp.
        {"  m { a = \"x\" , } 2e3  \r\nn{} -1 1700000000000\n",
         "m{a=x,} 2000\nn{} -1 @1700000000000\nskipped 0"},
        {"m{p=\"a\\\"b\\\\c\\nd\"} 0", "m{p=a\"b\\c\nd,} 0\nskipped 0"},
        {"m NaN\nm +Inf\nm -Inf\nm inf", "m{} nan\nm{} inf\nm{} -inf\nm{} inf\nskipped 0"},
        // Malformed: each line skipped, the good one between them kept.
        {"9m 1\nm{a=\"x} 1\nm{a=x} 1\nm{a=\"\\q\"} 1\nok 3\nm 1 2 3\nm 0x10\nm\nm 1 ts\n",
         "ok{} 3\nskipped 8"},
        {"m{=\"x\"} 1\nm{a=\"x\" b=\"y\"} 1\nm{a=\"x\"", "skipped 3"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(described(body), expected) << body;
    }
}

TEST(ExpositionReader, ValueComparisonUndoesEscapes) {
    ExpositionReader reader("m{mountpoint=\"/mnt/a\\\"b\",plain=\"/home\"} 1");
    const ExpositionSample* sample = reader.next();
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sample->label("mountpoint")->valueIs("/mnt/a\"b"));
    EXPECT_FALSE(sample->label("mountpoint")->valueIs("/mnt/a\\\"b"));
    EXPECT_FALSE(sample->label("mountpoint")->valueIs("/mnt/a\"bc"));
    EXPECT_TRUE(sample->label("plain")->valueIs("/home"));
    EXPECT_EQ(sample->label("absent"), nullptr);
}

// Hostile bodies: every one is read to its end with the good lines around it intact.
TEST(ExpositionReader, SurvivesHostileBodies) {
    std::string manyLabels = "m{";
    for (int index = 0; index < 10000; ++index) {
        manyLabels += "l" + std::to_string(index) + "=\"v\",";
    }
    manyLabels += "} 1\n";
    const std::string longLine = "m{a=\"" + std::string(1 << 20, 'x') + "\"} 1\n";
    const std::string longName = std::string(1 << 20, 'n') + " 4\n";
    const std::string badUtf8 = "m{a=\"\xff\xfe\xc0\x80\"} 5\n\xff\xfe 1\n";
    const std::string negativeCounter = "node_network_receive_bytes_total{device=\"x\"} -5\n";
    const std::tuple<std::string, std::string> cases[] = {
        {manyLabels + "ok 1\n", "ok{} 1\nskipped 1"},
        {longLine + "ok 1\n", "m{a=" + std::string(1 << 20, 'x') + ",} 1\nok{} 1\nskipped 0"},
        {longName, std::string(1 << 20, 'n') + "{} 4\nskipped 0"},
        {badUtf8, "m{a=\xff\xfe\xc0\x80,} 5\nskipped 1"},
        {negativeCounter, "node_network_receive_bytes_total{device=x,} -5\nskipped 0"},
        {std::string("m 1\0\nn 2\n", 9), "n{} 2\nskipped 1"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(described(body), expected) << body.substr(0, 80);
    }
}

} // namespace
} // namespace trovimo
