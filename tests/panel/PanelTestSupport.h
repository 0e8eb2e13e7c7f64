#pragma once

#include "panel/PanelLayout.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QRgb>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

namespace trovimo::test {

// Runs each test with US English as the default locale: the expectations spell numbers and
// percent signs the way that locale writes them.
class EnglishLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

// The snapshot of `inputs` for a test to fill in: a copy of its own, so that inputs that shared
// the one before keep theirs.
inline StatsSnapshot& stats(PanelInputs& inputs) {
    auto own = std::make_shared<StatsSnapshot>(*inputs.stats);
    StatsSnapshot& editable = *own;
    inputs.stats = std::move(own);
    return editable;
}

// The first text element of a laid-out panel or section that shows exactly `text`, or null.
template <typename Layout> const TextElement* findText(const Layout& layout, const QString& text) {
    for (const PanelElement& element : layout.elements) {
        const auto* found = std::get_if<TextElement>(&element);
        if (found != nullptr && found->text == text) {
            return found;
        }
    }
    return nullptr;
}

// An image `size` points large at `scale` device pixels per point, filled with `fill`
// (transparent unless given), with `draw` painted into it.
[[nodiscard]] inline QImage canvas(const QSizeF& size, double scale,
                                   const std::function<void(QPainter&)>& draw, QRgb fill = 0) {
    QImage image(static_cast<int>(std::ceil(size.width() * scale)),
                 static_cast<int>(std::ceil(size.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(fill);
    QPainter painter(&image);
    draw(painter);
    return image;
}

// The largest difference between two pixels in any channel, alpha included.
[[nodiscard]] inline int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                     std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace trovimo::test
