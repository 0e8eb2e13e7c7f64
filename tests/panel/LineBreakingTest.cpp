#include "panel/LineBreaking.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"

#include <QImage>
#include <QPainter>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace trovimo {
namespace {

qsizetype visible(const QString& line) {
    return std::count_if(line.begin(), line.end(), [](QChar c) { return !c.isSpace(); });
}

// As many lines as plain word wrap needs, each within the width, none left with a lone
// character or two.
TEST(EvenLineBreaks, KeepTheLineCountAndLeaveNoOrphans) {
    const Theme theme = Theme::light();
    const FontSpec font{TextStyle::caption2};
    const QFontMetricsF& metrics = theme.metrics(font);
    for (const char* text :
         {"使用率がしきい値（90%）を超えています", "使用率がしきい値（100%）を超えています",
          "ディスクの空き容量が少なくなっています。不要なファイルを削除してください",
          "Usage is above the threshold of ninety percent"}) {
        for (const double width : {60.0, 100.0, 130.0, 166.0}) {
            const QString source = QString::fromUtf8(text);
            SCOPED_TRACE(source.toStdString() + " in " + std::to_string(width));
            QTextLayout greedy(source, theme.font(font));
            QTextOption option;
            option.setWrapMode(QTextOption::WordWrap);
            greedy.setTextOption(option);
            greedy.beginLayout();
            for (QTextLine line = greedy.createLine(); line.isValid(); line = greedy.createLine()) {
                line.setLineWidth(width);
            }
            greedy.endLayout();

            const QStringList lines =
                withLineBreaks(source, evenLineBreaks(source, metrics, width)).split(u'\n');
            EXPECT_EQ(lines.size(), greedy.lineCount());
            for (const QString& line : lines) {
                EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), width) << line.toStdString();
            }
            if (lines.size() > 1) {
                EXPECT_GE(visible(lines.back()), 3) << lines.back().toStdString();
            }
        }
    }
}

// The disk alert as the panel paints it, at every scale, with and without the year in the
// clock: the lines painted are the lines the layout placed, and the last one is more than
// a lone character.
struct AlertCase {
    double scale;
    bool year;
    double threshold;
};

class DiskAlertLines : public ::testing::TestWithParam<AlertCase> {};

TEST_P(DiskAlertLines, PaintAsPlacedWithoutAnOrphan) {
    const AlertCase& c = GetParam();
    PanelInputs inputs;
    inputs.settings.showClockYear = c.year;
    inputs.settings.diskAlertThreshold = c.threshold;
    inputs.stats.disk = DiskUsage{999'000'000'000, 1'000'000'000'000, 0, 0};
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    const TextElement* alert = nullptr;
    for (const PanelElement& element : layout.elements) {
        const auto* text = std::get_if<TextElement>(&element);
        alert = text != nullptr && text->wrap && text->color == ColorRole::red ? text : alert;
    }
    ASSERT_NE(alert, nullptr);

    QImage image((layout.size * c.scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(c.scale);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PanelPainter::paintElement(painter, *alert, theme);
    }
    // Runs of rows with ink are the painted lines; the last must be a few characters wide.
    const QRect box = QRectF(alert->rect.topLeft() * c.scale, alert->rect.size() * c.scale)
                          .toAlignedRect()
                          .intersected(image.rect());
    std::vector<int> inkWidths;
    bool inLine = false;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        int left = box.right() + 1;
        int right = box.left() - 1;
        for (int x = box.left(); x <= box.right(); ++x) {
            if (qGreen(image.pixel(x, y)) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right >= left && !inLine) {
            inkWidths.push_back(0);
        }
        inLine = right >= left;
        if (inLine) {
            inkWidths.back() = std::max(inkWidths.back(), right - left + 1);
        }
    }
    ASSERT_GE(inkWidths.size(), 2U);
    EXPECT_EQ(inkWidths.size(), alert->lineBreaks.size() + 1);
    EXPECT_GE(inkWidths.back(), 3 * Theme::pixelSize(TextStyle::caption2) * c.scale);
}

INSTANTIATE_TEST_SUITE_P(Scales, DiskAlertLines,
                         ::testing::Values(AlertCase{1.0, false, 0.9}, AlertCase{1.5, false, 0.9},
                                           AlertCase{2.0, false, 0.9}, AlertCase{1.0, true, 0.9},
                                           AlertCase{1.5, true, 0.95}, AlertCase{2.0, true, 0.5}),
                         [](const auto& info) {
                             return "at" + std::to_string(static_cast<int>(info.param.scale * 10)) +
                                    (info.param.year ? "WithYear" : "") + "Threshold" +
                                    std::to_string(std::lround(info.param.threshold * 100));
                         });

} // namespace
} // namespace trovimo
