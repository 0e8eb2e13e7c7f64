#include "panel/PanelLayout.h"
#include "panel/PanelTestSupport.h"
#include "panel/Sections.h"

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

double bottomOf(const QRectF& rect) {
    return rect.y() + rect.height();
}

// ---- CPU ---------------------------------------------------------------------------------

TEST_F(SectionLayoutTest, CPUBeforeTheFirstSample) {
    inputs.settings.showCoreBars = true;
    const SectionLayout out = layout(layoutCPUSection);
    EXPECT_EQ(texts(out), (std::vector<std::string>{"CPU", "0%"}));
    const TextElement* value = findText(out, "0%");
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    EXPECT_EQ(value->animation->key, "0");
    const auto sparklines = all<SparklineElement>(out);
    ASSERT_EQ(sparklines.size(), 1U);
    EXPECT_TRUE(sparklines[0].gauge.values.empty());
    EXPECT_EQ(sparklines[0].rect.height(), 30.0);
    EXPECT_TRUE(all<CoreBarsElement>(out).empty());
    EXPECT_EQ(out.height, bottomOf(sparklines[0].rect));
}

TEST_F(SectionLayoutTest, CPUValueTextAndKeyMoveTogether) {
    struct Case {
        double total;
        const char* text;
        const char* key;
    };
    const Case cases[] = {
        {0.452, "45%", "45"}, {0.449, "45%", "45"}, {0.47, "47%", "47"}, {0.995, "100%", "100"}};
    for (const Case& c : cases) {
        inputs.stats.cpu = CPULoad{c.total, {c.total}};
        const SectionLayout out = layout(layoutCPUSection);
        const TextElement* value = findText(out, c.text);
        ASSERT_NE(value, nullptr) << c.total;
        ASSERT_TRUE(value->animation);
        EXPECT_EQ(value->animation->id, "cpu.value");
        EXPECT_EQ(value->animation->key, c.key);
        EXPECT_EQ(value->font.style, TextStyle::title3);
        EXPECT_TRUE(value->font.rounded && value->font.monospacedDigits);
    }
}

TEST_F(SectionLayoutTest, CPUFollowsTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    inputs.stats.cpu = CPULoad{0.452, {0.452}};
    EXPECT_NE(findText(layout(layoutCPUSection), "45\u00A0%"), nullptr);
}

TEST_F(SectionLayoutTest, CPUCoreBarsFollowTheSetting) {
    inputs.stats.cpu = CPULoad{0.5, {0.2, 0.8, 0.5, 0.5}};
    inputs.stats.cpuHistory = {0.1, 0.5};

    inputs.settings.showCoreBars = true;
    SectionLayout out = layout(layoutCPUSection);
    const auto sparkline = all<SparklineElement>(out).at(0);
    EXPECT_EQ(sparkline.gauge.values, inputs.stats.cpuHistory);
    EXPECT_EQ(sparkline.gauge.maxValue, 1.0);
    EXPECT_EQ(sparkline.gauge.color, ColorRole::blue);
    const auto bars = all<CoreBarsElement>(out);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].gauge.values, inputs.stats.cpu->perCore);
    EXPECT_EQ(bars[0].rect, QRectF(0, bottomOf(sparkline.rect) + 6, width, 20));
    EXPECT_EQ(out.height, bottomOf(bars[0].rect));

    inputs.settings.showCoreBars = false;
    out = layout(layoutCPUSection);
    EXPECT_TRUE(all<CoreBarsElement>(out).empty());
    EXPECT_EQ(out.height, bottomOf(all<SparklineElement>(out).at(0).rect));
}

// ---- GPU ---------------------------------------------------------------------------------

TEST_F(SectionLayoutTest, GPUWithoutAValueShowsAQuietDash) {
    inputs.stats.gpuHistory = {0.3, 0.4};
    SectionLayout out = layout(layoutGPUSection);
    const TextElement* dash = findText(out, "—");
    ASSERT_NE(dash, nullptr);
    EXPECT_EQ(dash->color, ColorRole::secondary);
    EXPECT_EQ(dash->font.style, TextStyle::title3);
    EXPECT_FALSE(dash->font.rounded);
    EXPECT_FALSE(dash->animation);
    // The history keeps its last entries.
    const auto sparkline = all<SparklineElement>(out).at(0);
    EXPECT_EQ(sparkline.gauge.values, inputs.stats.gpuHistory);
    EXPECT_EQ(sparkline.rect.height(), 24.0);

    inputs.stats.gpu = 0.304;
    out = layout(layoutGPUSection);
    const TextElement* value = findText(out, "30%");
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    EXPECT_EQ(value->animation->key, "30");
    EXPECT_EQ(value->color, ColorRole::primary);
}

// ---- Memory ------------------------------------------------------------------------------

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

TEST_F(SectionLayoutTest, MemoryWithoutASampleShowsLabelAndEmptyBar) {
    const SectionLayout out = layout(layoutMemorySection);
    EXPECT_EQ(texts(out), std::vector<std::string>{"メモリ"});
    ASSERT_EQ(out.elements.size(), 2U);
    const auto bars = all<CapacityBarElement>(out);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].gauge, (CapacityBar{0.0, CapacityLevel::normal}));
    EXPECT_EQ(bars[0].rect.width(), width);
    EXPECT_EQ(out.height, bottomOf(bars[0].rect));
}

TEST_F(SectionLayoutTest, MemoryBreakdownAndLegend) {
    inputs.stats.memory = sixteenGigabytes();
    const SectionLayout out = layout(layoutMemorySection);
    const auto bars = all<SegmentedBarElement>(out);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].gauge.segments, (std::vector<SegmentedBar::Segment>{
                                          {0.5, ColorRole::blue},
                                          {0.125, ColorRole::teal},
                                          {0.0625, ColorRole::gray},
                                      }));
    EXPECT_EQ(texts(out),
              (std::vector<std::string>{"メモリ", "11.0 GB / 16.0 GB", "App 8.0G", "固定 2.0G",
                                        "圧縮 1.0G", "スワップ 1.2G/2.1G", "圧力 正常"}));
    EXPECT_EQ(findText(out, "11.0 GB / 16.0 GB")->color, ColorRole::primary);
    EXPECT_FALSE(findText(out, "11.0 GB / 16.0 GB")->animation);
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
        inputs.stats.memory = memory;
        const SectionLayout out = layout(layoutMemorySection);
        const auto dots = all<DotElement>(out); // three legend dots, then the indicator
        const TextElement* swap = findText(out, "スワップ 1.2G/2.1G");
        EXPECT_EQ(swap != nullptr, c.swapTotal != 0);
        if (swap != nullptr) {
            EXPECT_EQ(swap->rect.x(), 0.0);
            EXPECT_EQ(swap->color, ColorRole::secondary);
        }
        if (c.pressure) {
            ASSERT_EQ(dots.size(), 4U);
            EXPECT_EQ(dots[3].color, c.dotColor);
            const TextElement* pressure = findText(out, c.pressureText);
            ASSERT_NE(pressure, nullptr);
            EXPECT_NEAR(pressure->rect.right(), width, 0.01) << c.pressureText;
            EXPECT_EQ(pressure->rect.x() - dots[3].rect.right(), 3.0);
            if (swap != nullptr) {
                EXPECT_LE(swap->rect.right(), dots[3].rect.x());
            }
        } else {
            EXPECT_EQ(dots.size(), 3U);
        }
        if (swap == nullptr && !c.pressure) {
            // The row is empty: the section ends one spacing below the legend.
            const auto legendText = all<TextElement>(out).back();
            EXPECT_NEAR(out.height, bottomOf(legendText.rect) + 5.0, 0.01);
        }
    }
}

TEST_F(SectionLayoutTest, MemoryLongSwapTextShrinksWithinTheRow) {
    MemoryStats memory = sixteenGigabytes();
    memory.swapUsed = 123'400'000'000;
    memory.swapTotal = 987'600'000'000;
    memory.pressure = MemoryPressure::critical;
    inputs.stats.memory = memory;
    const SectionLayout out = layout(layoutMemorySection);
    const TextElement* swap = findText(out, "スワップ 123G/988G");
    ASSERT_NE(swap, nullptr);
    EXPECT_EQ(swap->minimumScale, 0.75);
    EXPECT_LE(swap->rect.right(), all<DotElement>(out).back().rect.x());
}

// Corrupt counts make legend texts far wider than the column: they shrink, then are cut,
// but never reach past the column.
TEST_F(SectionLayoutTest, MemoryCorruptCountsStayInsideTheColumn) {
    MemoryStats memory;
    memory.used = memory.total = memory.app = memory.wired = memory.compressed = memory.swapUsed =
        memory.swapTotal = std::numeric_limits<std::uint64_t>::max();
    memory.pressure = MemoryPressure::critical;
    inputs.stats.memory = memory;
    const SectionLayout out = layout(layoutMemorySection);
    for (const TextElement& text : all<TextElement>(out)) {
        EXPECT_LE(text.rect.right(), width + 0.01) << text.text.toStdString();
    }
}

// ---- Network -----------------------------------------------------------------------------

TEST_F(SectionLayoutTest, NetworkBeforeTheFirstSample) {
    const SectionLayout out = layout(layoutNetworkSection);
    // Without an identity the header holds the label alone; the rate rows still show.
    EXPECT_EQ(texts(out), (std::vector<std::string>{"ネットワーク", "0 B/s", "0 B/s"}));
    const auto sparklines = all<SparklineElement>(out);
    ASSERT_EQ(sparklines.size(), 2U);
    for (const auto& sparkline : sparklines) {
        EXPECT_TRUE(sparkline.gauge.values.empty());
        EXPECT_EQ(sparkline.gauge.maxValue, 10240.0);
        EXPECT_EQ(sparkline.rect.height(), 14.0);
        EXPECT_NEAR(sparkline.rect.right(), width, 0.01);
    }
    EXPECT_EQ(sparklines[0].gauge.color, ColorRole::blue);
    EXPECT_EQ(sparklines[1].gauge.color, ColorRole::orange);
    const auto arrows = all<SymbolElement>(out);
    ASSERT_EQ(arrows.size(), 2U);
    EXPECT_EQ(arrows[0].symbol, Symbol::download);
    EXPECT_EQ(arrows[1].symbol, Symbol::upload);
    EXPECT_LT(arrows[0].rect.y(), arrows[1].rect.y());
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
        inputs.stats.downloadHistory = c.download;
        inputs.stats.uploadHistory = c.upload;
        const auto sparklines = all<SparklineElement>(layout(layoutNetworkSection));
        ASSERT_EQ(sparklines.size(), 2U);
        EXPECT_EQ(sparklines[0].gauge.maxValue, c.downloadScale);
        EXPECT_EQ(sparklines[1].gauge.maxValue, c.uploadScale);
        EXPECT_EQ(sparklines[0].gauge.values, c.download);
    }
}

TEST_F(SectionLayoutTest, NetworkRatesAndIdentity) {
    inputs.stats.network = NetworkSpeed{1'234'567.0, 950.0};
    inputs.stats.networkInfo =
        NetworkInfo{"wlp2s0", "Wi-Fi", "A very long network name that cannot fit", "Wi-Fi 6"};
    const SectionLayout out = layout(layoutNetworkSection);
    const TextElement* download = findText(out, "1.2 MB/s");
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(download->animation);
    EXPECT_EQ(download->animation->key, "1.2 MB/s");
    EXPECT_NE(download->animation->id, findText(out, "950 B/s")->animation->id);
    EXPECT_EQ(download->rect.width(), 70.0);
    // A long name stays on the header line and is cut there, never wrapped below it.
    const TextElement* detail =
        findText(out, "Wi-Fi 6 \u00B7 A very long network name that cannot fit");
    ASSERT_NE(detail, nullptr);
    EXPECT_FALSE(detail->wrap);
    EXPECT_EQ(detail->minimumScale, 1.0);
    EXPECT_EQ(detail->color, ColorRole::secondary);
    EXPECT_LT(detail->rect.bottom(), download->rect.y());
}

// ---- Disk --------------------------------------------------------------------------------

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
        inputs.stats.disk = DiskUsage{c.used, 1000 * GB, 40 * GB, 30 * GB};
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
            EXPECT_EQ(symbols[0].color, ColorRole::red);
            EXPECT_GE(symbols[0].rect.x(), findText(out, "ディスク")->rect.x() + 4.0);
            EXPECT_LT(symbols[0].rect.right(), text->rect.right() - text->rect.width() / 2);
        }
        const TextElement* footer = findText(out, c.footer);
        ASSERT_NE(footer, nullptr) << c.footer;
        EXPECT_EQ(footer->color, c.footerColor);
        EXPECT_EQ(footer->wrap, c.alert);
        EXPECT_EQ(out.height, bottomOf(footer->rect));
    }
}

TEST_F(SectionLayoutTest, DiskAlertWrapsInsteadOfBeingCut) {
    inputs.stats.disk = DiskUsage{950 * GB, 1000 * GB, 0, 0};
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
    inputs.stats.disk = DiskUsage{500 * GB, 1000 * GB, 40 * GB, 30 * GB};
    const SectionLayout out = layout(layoutDiskSection);
    const auto bars = all<SegmentedBarElement>(out);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].gauge.segments, (std::vector<SegmentedBar::Segment>{
                                          {0.04, ColorRole::gray},
                                          {0.43, ColorRole::blue},
                                          {0.03, ColorRole::teal},
                                      }));
    EXPECT_NE(findText(out, "OS 40G"), nullptr);
    EXPECT_NE(findText(out, "データ 430G"), nullptr);
    EXPECT_NE(findText(out, "解放可 30G"), nullptr);
}

TEST_F(SectionLayoutTest, DiskWithoutASample) {
    for (const double threshold : {0.9, 0.0}) {
        inputs.settings.diskAlertThreshold = threshold;
        const SectionLayout out = layout(layoutDiskSection);
        EXPECT_EQ(all<CapacityBarElement>(out).size(), 1U);
        EXPECT_TRUE(all<SegmentedBarElement>(out).empty());
        if (threshold > 0.0) {
            EXPECT_EQ(texts(out), std::vector<std::string>{"ディスク"});
            EXPECT_EQ(out.height, bottomOf(all<CapacityBarElement>(out)[0].rect));
        } else {
            // With nothing used, only a threshold of 0 is reached.
            EXPECT_EQ(texts(out), (std::vector<std::string>{
                                      "ディスク", "使用率がしきい値（0%）を超えています"}));
        }
    }
}

// ---- Own load ----------------------------------------------------------------------------

TEST_F(SectionLayoutTest, OwnLoadRow) {
    SectionLayout out = layout(layoutSelfSection);
    EXPECT_EQ(texts(out), (std::vector<std::string>{"Trovimo", "—"}));
    EXPECT_FALSE(findText(out, "—")->animation);

    inputs.stats.selfStats = SelfStats{0.012, 45'300'000};
    out = layout(layoutSelfSection);
    const TextElement* value = findText(out, "CPU 1.2%・45.3 MB");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumScale, 0.8);
    EXPECT_EQ(value->color, ColorRole::secondary);
    ASSERT_TRUE(value->animation);
    EXPECT_EQ(value->animation->key, "12");
    EXPECT_NEAR(value->rect.right(), width, 0.01);
}

} // namespace
