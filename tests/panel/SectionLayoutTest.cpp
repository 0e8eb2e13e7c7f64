#include "panel/CPUSection.h"
#include "panel/DiskSection.h"
#include "panel/GPUSection.h"
#include "panel/MemorySection.h"
#include "panel/NetworkSection.h"
#include "panel/PanelLayout.h"
#include "panel/PanelTestSupport.h"
#include "panel/Sections.h"
#include "panel/SelfSection.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

using namespace trovimo;

namespace {

constexpr double width = PanelMetrics::columnWidth;
constexpr std::int64_t GB = 1000 * 1000 * 1000;

using SectionFunction = SectionLayout (*)(const PanelInputs&, const Theme&, double);

class SectionLayoutTest : public test::EnglishLocaleTest {
protected:
    SectionLayout layout(SectionFunction section) const {
        SectionLayout out = section(inputs, theme, width);
        expectInside(out);
        return out;
    }

    // Sections must stay within the column and the height they report, or the panel would
    // draw them over the next block.
    static void expectInside(const SectionLayout& out) {
        const QRectF bounds(0.0, 0.0, width, out.height);
        for (const PanelElement& element : out.elements) {
            const QRectF rect = elementRect(element);
            EXPECT_TRUE(bounds.adjusted(-0.01, -0.01, 0.01, 0.01).contains(rect))
                << "element " << rect.x() << "," << rect.y() << " " << rect.width() << "x"
                << rect.height() << " outside " << width << "x" << out.height;
        }
    }

    PanelInputs inputs;
    Theme theme = Theme::light();
};

template <typename T> std::vector<T> all(const SectionLayout& out) {
    std::vector<T> found;
    for (const PanelElement& element : out.elements) {
        if (const auto* typed = std::get_if<T>(&element)) {
            found.push_back(*typed);
        }
    }
    return found;
}

std::vector<std::string> texts(const SectionLayout& out) {
    std::vector<std::string> found;
    for (const TextElement& text : all<TextElement>(out)) {
        found.push_back(text.text.toStdString());
    }
    return found;
}

const TextElement* findText(const SectionLayout& out, const std::string& text) {
    return test::findText(out, QString::fromStdString(text));
}

// The shares of the section's one segmented bar.
std::vector<double> fractions(const SectionLayout& out) {
    const auto bars = all<SegmentedBarElement>(out);
    std::vector<double> found;
    for (const SegmentedBar::Segment& segment : bars.at(0).gauge.segments) {
        found.push_back(segment.fraction);
    }
    return found;
}

double bottomOf(const QRectF& rect) {
    return rect.y() + rect.height();
}

// Every section before its first sample: its label and placeholders, empty graphs and bars,
// no figure that rolls from nothing, the section's height down to its last element.
TEST_F(SectionLayoutTest, BeforeTheFirstSample) {
    inputs.settings.diskAlertThreshold = 0.9;
    const std::pair<SectionFunction, std::vector<std::string>> cases[] = {
        {layoutCPUSection, {"CPU", "0%"}},
        {layoutGPUSection, {"GPU", "—"}},
        {layoutMemorySection, {"メモリ"}},
        // Without an identity the header holds the label alone; the rate rows still show.
        {layoutNetworkSection, {"ネットワーク", "0 B/s", "0 B/s"}},
        {layoutDiskSection, {"ディスク"}},
        {layoutSelfSection, {"Trovimo", "—"}},
    };
    for (const auto& [section, expected] : cases) {
        const SectionLayout out = layout(section);
        EXPECT_EQ(texts(out), expected);
        for (const SparklineElement& graph : all<SparklineElement>(out)) {
            EXPECT_TRUE(graph.gauge.values.empty());
        }
        for (const CapacityBarElement& bar : all<CapacityBarElement>(out)) {
            EXPECT_EQ(bar.gauge.fraction, 0.0);
        }
        EXPECT_TRUE(all<CoreBarsElement>(out).empty() && all<SegmentedBarElement>(out).empty());
        const TextElement* dash = findText(out, "—");
        EXPECT_TRUE(dash == nullptr || !dash->animation);
        double bottom = 0.0;
        for (const PanelElement& element : out.elements) {
            bottom = std::max(bottom, bottomOf(elementRect(element)));
        }
        EXPECT_EQ(out.height, bottom) << expected.front();
    }
}

TEST_F(SectionLayoutTest, CPUFollowsTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    test::stats(inputs).cpu = CPULoad{0.452, {0.452}};
    EXPECT_NE(findText(layout(layoutCPUSection), "45\u00A0%"), nullptr);
}

TEST_F(SectionLayoutTest, CPUCoreBarsFollowTheSetting) {
    test::stats(inputs).cpu = CPULoad{0.5, {0.2, 0.8, 0.5, 0.5}};
    test::stats(inputs).cpuHistory = {0.1, 0.5};

    inputs.settings.detailed.set(Block::cpu, true);
    SectionLayout out = layout(layoutCPUSection);
    const auto sparkline = all<SparklineElement>(out).at(0);
    EXPECT_EQ(sparkline.gauge.values, inputs.stats->cpuHistory);
    const auto bars = all<CoreBarsElement>(out);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].gauge.values, inputs.stats->cpu->perCore);
    EXPECT_GT(bars[0].rect.top(), bottomOf(sparkline.rect));
    EXPECT_EQ(out.height, bottomOf(bars[0].rect));

    inputs.settings.detailed.set(Block::cpu, false);
    out = layout(layoutCPUSection);
    EXPECT_TRUE(all<CoreBarsElement>(out).empty());
    EXPECT_EQ(out.height, bottomOf(all<SparklineElement>(out).at(0).rect));
}

TEST_F(SectionLayoutTest, GPUWithoutAValueKeepsItsHistory) {
    test::stats(inputs).gpuHistory = {0.3, 0.4};
    SectionLayout out = layout(layoutGPUSection);
    EXPECT_NE(findText(out, "—"), nullptr);
    EXPECT_EQ(all<SparklineElement>(out).at(0).gauge.values, inputs.stats->gpuHistory);

    test::stats(inputs).gpu = 0.304;
    out = layout(layoutGPUSection);
    const TextElement* value = findText(out, "30%");
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    EXPECT_EQ(value->animation->key, "30");
}

MemoryStats sixteenGigabytes() {
    MemoryStats memory;
    memory.total = 16 * GB;
    memory.app = 8 * GB;
    memory.wired = 2 * GB;
    memory.compressed = 1 * GB;
    memory.used = 11 * GB;
    memory.swapUsed = 1'200'000'000;
    memory.swapTotal = 2'100'000'000;
    memory.pressure = MemoryPressure::normal;
    return memory;
}

TEST_F(SectionLayoutTest, MemoryBreakdownAndLegend) {
    test::stats(inputs).memory = sixteenGigabytes();
    const SectionLayout out = layout(layoutMemorySection);
    EXPECT_EQ(fractions(out), (std::vector<double>{0.5, 0.125, 0.0625}));
    EXPECT_EQ(texts(out),
              (std::vector<std::string>{"メモリ", "11.0 GB / 16.0 GB", "App 8.0G", "固定 2.0G",
                                        "圧縮 1.0G", "スワップ 1.2G/2.1G", "圧力 正常"}));
}

TEST_F(SectionLayoutTest, MemorySwapAndPressureRow) {
    struct Case {
        std::uint64_t swapTotal;
        std::optional<MemoryPressure> pressure;
        const char* pressureText;
        ColorRole dotColor;
    };
    const Case cases[] = {
        {2'100'000'000, MemoryPressure::normal, "圧力 正常", ColorRole::green},
        {0, MemoryPressure::warning, "圧力 注意", ColorRole::orange},
        {0, MemoryPressure::critical, "圧力 逼迫", ColorRole::red},
        {2'100'000'000, std::nullopt, nullptr, ColorRole::blue},
        {0, std::nullopt, nullptr, ColorRole::blue},
    };
    for (const Case& c : cases) {
        MemoryStats memory = sixteenGigabytes();
        memory.swapTotal = c.swapTotal;
        memory.pressure = c.pressure;
        test::stats(inputs).memory = memory;
        const SectionLayout out = layout(layoutMemorySection);
        const auto dots = all<DotElement>(out); // three legend dots, then the indicator
        const TextElement* swap = findText(out, "スワップ 1.2G/2.1G");
        EXPECT_EQ(swap != nullptr, c.swapTotal != 0);
        if (c.pressure) {
            ASSERT_EQ(dots.size(), 4U);
            EXPECT_EQ(dots[3].color, c.dotColor);
            const TextElement* pressure = findText(out, c.pressureText);
            ASSERT_NE(pressure, nullptr);
            EXPECT_GT(pressure->rect.x(), dots[3].rect.right()) << c.pressureText;
            if (swap != nullptr) {
                EXPECT_LE(swap->rect.right(), dots[3].rect.x());
            }
        } else {
            EXPECT_EQ(dots.size(), 3U);
        }
    }
}

TEST_F(SectionLayoutTest, MemoryLongSwapTextShrinksWithinTheRow) {
    MemoryStats memory = sixteenGigabytes();
    memory.swapUsed = 123'400'000'000;
    memory.swapTotal = 987'600'000'000;
    memory.pressure = MemoryPressure::critical;
    test::stats(inputs).memory = memory;
    const SectionLayout out = layout(layoutMemorySection);
    const TextElement* swap = findText(out, "スワップ 123G/988G");
    ASSERT_NE(swap, nullptr);
    EXPECT_LE(swap->rect.right(), all<DotElement>(out).back().rect.x());
}

// Corrupt counts make legend texts far wider than the column: they shrink, then are cut,
// but never reach past the column.
TEST_F(SectionLayoutTest, MemoryCorruptCountsStayInsideTheColumn) {
    MemoryStats memory;
    memory.used = memory.total = memory.app = memory.wired = memory.compressed = memory.swapUsed =
        memory.swapTotal = std::numeric_limits<std::uint64_t>::max();
    memory.pressure = MemoryPressure::critical;
    test::stats(inputs).memory = memory;
    const SectionLayout out = layout(layoutMemorySection);
    for (const TextElement& text : all<TextElement>(out)) {
        EXPECT_LE(text.rect.right(), width + 0.01) << text.text.toStdString();
    }
}

TEST_F(SectionLayoutTest, NetworkScalesEachDirectionOnItsOwn) {
    struct Case {
        std::vector<double> download;
        std::vector<double> upload;
        double downloadScale;
        double uploadScale;
    };
    const Case cases[] = {
        {{1000.0, 5000.0}, {}, 10240.0, 10240.0},
        {{5000.0, 2'000'000.0}, {300.0, 40'000.0}, 2'000'000.0, 40'000.0},
    };
    for (const Case& c : cases) {
        test::stats(inputs).downloadHistory = c.download;
        test::stats(inputs).uploadHistory = c.upload;
        const auto sparklines = all<SparklineElement>(layout(layoutNetworkSection));
        ASSERT_EQ(sparklines.size(), 2U);
        EXPECT_EQ(sparklines[0].gauge.maxValue, c.downloadScale);
        EXPECT_EQ(sparklines[1].gauge.maxValue, c.uploadScale);
        EXPECT_EQ(sparklines[0].gauge.values, c.download);
    }
}

TEST_F(SectionLayoutTest, NetworkRatesAndIdentity) {
    test::stats(inputs).network = NetworkSpeed{1'234'567.0, 950.0};
    test::stats(inputs).networkInfo =
        NetworkInfo{"wlp2s0", "Wi-Fi", "A very long network name that cannot fit", "Wi-Fi 6"};
    const SectionLayout out = layout(layoutNetworkSection);
    const TextElement* download = findText(out, "1.2 MB/s");
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(download->animation);
    EXPECT_EQ(download->animation->key, "1.2 MB/s");
    EXPECT_NE(download->animation->id, findText(out, "950 B/s")->animation->id);
    // A long name stays on the header line and is cut there, never wrapped below it.
    const TextElement* detail =
        findText(out, "Wi-Fi 6 \u00B7 A very long network name that cannot fit");
    ASSERT_NE(detail, nullptr);
    EXPECT_FALSE(detail->wrap);
    EXPECT_LT(detail->rect.bottom(), download->rect.y());
}

TEST_F(SectionLayoutTest, DiskLevelsColourTheRemainingSpaceAndPickTheFooter) {
    struct Case {
        std::int64_t used;
        double threshold;
        ColorRole remainingColor;
        bool alert;
        const char* footer;
        ColorRole footerColor;
    };
    const Case cases[] = {
        {950 * GB, 0.9, ColorRole::red, true, "使用率がしきい値（90%）を超えています",
         ColorRole::red},
        {850 * GB, 0.9, ColorRole::orange, false, "850 GB / 1.0 TB 使用中", ColorRole::secondary},
        {850 * GB, 0.85, ColorRole::red, true, "使用率がしきい値（85%）を超えています",
         ColorRole::red},
        {500 * GB, 0.9, ColorRole::primary, false, "500 GB / 1.0 TB 使用中", ColorRole::secondary},
    };
    for (const Case& c : cases) {
        test::stats(inputs).disk = DiskUsage{c.used, 1000 * GB, 40 * GB, 30 * GB};
        inputs.settings.diskAlertThreshold = c.threshold;
        const SectionLayout out = layout(layoutDiskSection);
        const std::string remaining = "残り " + std::string(c.used == 950 * GB   ? "50.0 GB"
                                                            : c.used == 850 * GB ? "150 GB"
                                                                                 : "500 GB");
        const TextElement* text = findText(out, remaining);
        ASSERT_NE(text, nullptr) << remaining;
        EXPECT_EQ(text->color, c.remainingColor);
        ASSERT_TRUE(text->animation);
        EXPECT_EQ(text->animation->key, QString::number(1000 * GB - c.used));
        const auto symbols = all<SymbolElement>(out);
        EXPECT_EQ(symbols.size(), c.alert ? 1U : 0U);
        if (c.alert) {
            EXPECT_EQ(symbols[0].symbol, Symbol::alert);
        }
        const TextElement* footer = findText(out, c.footer);
        ASSERT_NE(footer, nullptr) << c.footer;
        EXPECT_EQ(footer->color, c.footerColor);
        EXPECT_EQ(footer->wrap, c.alert);
        EXPECT_EQ(out.height, bottomOf(footer->rect));
    }
}

TEST_F(SectionLayoutTest, DiskAlertWrapsInsteadOfBeingCut) {
    test::stats(inputs).disk = DiskUsage{950 * GB, 1000 * GB, 0, 0};
    const SectionLayout out = layoutDiskSection(inputs, theme, 70.0);
    const TextElement* footer = findText(out, "使用率がしきい値（90%）を超えています");
    ASSERT_NE(footer, nullptr);
    EXPECT_TRUE(footer->wrap);
    EXPECT_GT(footer->rect.height(), 1.5 * theme.lineHeight(footer->font));
    EXPECT_EQ(footer->rect.height(),
              theme.wrappedHeight(footer->text, footer->font, footer->rect.width()));
    EXPECT_EQ(out.height, bottomOf(footer->rect));
}

TEST_F(SectionLayoutTest, DiskBreakdownAndLegend) {
    test::stats(inputs).disk = DiskUsage{500 * GB, 1000 * GB, 40 * GB, 30 * GB};
    const SectionLayout out = layout(layoutDiskSection);
    EXPECT_EQ(fractions(out), (std::vector<double>{0.04, 0.43, 0.03}));
    EXPECT_NE(findText(out, "OS 40G"), nullptr);
    EXPECT_NE(findText(out, "データ 430G"), nullptr);
    EXPECT_NE(findText(out, "解放可 30G"), nullptr);
}

// With nothing known to be used, only a threshold of 0 is reached.
TEST_F(SectionLayoutTest, DiskWithoutASampleAlertsOnlyAtAThresholdOfZero) {
    inputs.settings.diskAlertThreshold = 0.0;
    EXPECT_EQ(texts(layout(layoutDiskSection)),
              (std::vector<std::string>{"ディスク", "使用率がしきい値（0%）を超えています"}));
}

TEST_F(SectionLayoutTest, OwnLoadRow) {
    test::stats(inputs).selfStats = SelfStats{0.012, 45'300'000};
    const SectionLayout out = layout(layoutSelfSection);
    const TextElement* value = findText(out, "CPU 1.2%・45.3 MB");
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    EXPECT_EQ(value->animation->key, "12");
    EXPECT_NEAR(value->rect.right(), width, 0.01);
}

} // namespace
