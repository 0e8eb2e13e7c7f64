#include "panel/raster/Rasterizer.h"

#include "panel/CapacityBar.h"
#include "panel/CoreBars.h"
#include "panel/RoundedShape.h"
#include "panel/SegmentedBar.h"
#include "panel/Sparkline.h"
#include "panel/raster/ShapeLayer.h"
#include "panel/raster/SparklineRaster.h"

#include <QPainter>
#include <QtGlobal>

#include <vector>

namespace trovimo {
namespace {

bool enabledByEnvironment() {
    return qEnvironmentVariable("TROVIMO_PAINTER") != QLatin1String("qpainter");
}

} // namespace

struct Rasterizer::Kept {
    ShapeLayer::Pixels layer;
    SparklineImages sparklines;
    std::vector<RoundedShape> shapes; // the bar being painted

    // Writes `shapes` into one layer covering `rect` and all of them.
    bool fill(QPainter& painter, const QRectF& rect) {
        QRectF area = rect;
        for (const RoundedShape& shape : shapes) {
            area = area.united(shape.rect);
        }
        ShapeLayer target(painter, area, layer);
        if (target.declined()) {
            return false;
        }
        for (const RoundedShape& shape : shapes) {
            target.fillRoundedRect(shape.rect, shape.xRadius, shape.yRadius, shape.color,
                                   shape.opacity);
        }
        return true;
    }
};

Rasterizer::Rasterizer() : kept_(std::make_unique<Kept>()), enabled_(enabledByEnvironment()) {}
Rasterizer::~Rasterizer() = default;
Rasterizer::Rasterizer(Rasterizer&&) noexcept = default;
Rasterizer& Rasterizer::operator=(Rasterizer&&) noexcept = default;

void Rasterizer::clear() {
    kept_ = std::make_unique<Kept>();
}

template <typename Bar>
bool Rasterizer::paintBar(QPainter& painter, const Bar& bar, const QRectF& rect,
                          const Theme& theme) {
    if (!enabled_) {
        return false;
    }
    kept_->shapes.clear();
    bar.shapes(rect, theme, kept_->shapes);
    return kept_->fill(painter, rect);
}

bool Rasterizer::paint(QPainter& painter, const CapacityBar& bar, const QRectF& rect,
                       const Theme& theme) {
    return paintBar(painter, bar, rect, theme);
}

bool Rasterizer::paint(QPainter& painter, const SegmentedBar& bar, const QRectF& rect,
                       const Theme& theme) {
    return paintBar(painter, bar, rect, theme);
}

bool Rasterizer::paint(QPainter& painter, const CoreBars& bars, const QRectF& rect,
                       const Theme& theme) {
    if (!enabled_) {
        return false;
    }
    kept_->shapes.clear();
    bars.shapes(rect, painter.deviceTransform(), theme, kept_->shapes);
    return kept_->shapes.empty() || kept_->fill(painter, rect);
}

bool Rasterizer::paint(QPainter& painter, const Sparkline& graph, const QRectF& rect,
                       const Theme& theme) {
    return enabled_ && paintSparkline(painter, graph, rect, theme, kept_->sparklines);
}

} // namespace trovimo
