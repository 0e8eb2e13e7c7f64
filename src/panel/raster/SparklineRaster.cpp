#include "panel/raster/SparklineRaster.h"

#include "panel/Sparkline.h"
#include "panel/Theme.h"
#include "panel/raster/PixelMath.h"
#include "panel/raster/SparklineTrack.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace trovimo {
namespace {

// How much of each pixel an outline covers, from the signed areas its edges enclose down
// each column: an edge adds its width across a column, spread over the rows it passes, and
// a running sum down the column gives each pixel's covered fraction. The areas are exact,
// as in Qt's antialiased fills; where the outline overlaps itself a pixel counts once.
class ColumnCoverage {
public:
    // Starts an outline over `columns` x `rows` pixels.
    void reset(int columns, int rows) {
        columns_ = columns;
        rows_ = rows;
        stride_ = static_cast<std::size_t>(rows) + 2; // a piece on the bottom edge spills two
        const std::size_t cells = static_cast<std::size_t>(columns) * stride_;
        // drain() leaves every cell at zero. A buffer grown for an outsized graph (beyond
        // 4 MB) is not kept for the ordinary ones after it.
        if (cells_.size() < cells || (cells_.size() > cells && cells_.size() > (1U << 20))) {
            cells_.assign(cells, 0.0f);
        }
        first_.assign(static_cast<std::size_t>(columns), rows + 2);
        last_.assign(static_cast<std::size_t>(columns), -1);
    }

    void addEdge(const QPointF& from, const QPointF& to) {
        if (!(std::isfinite(from.x()) && std::isfinite(from.y()) && std::isfinite(to.x()) &&
              std::isfinite(to.y()))) {
            return;
        }
        const double bottom = rows_;
        if (from.y() >= 0.0 && from.y() <= bottom && to.y() >= 0.0 && to.y() <= bottom) {
            addPiece(from.x(), from.y(), to.x(), to.y());
            return;
        }
        // Cut where the edge crosses the top and bottom edges and lay the parts beyond them
        // flat on those edges: what lies above the layer still covers the column below it,
        // and nothing below the layer is ever read.
        const double rise = to.y() - from.y();
        double cuts[4] = {0.0};
        int count = 1;
        for (const double level : {0.0, bottom}) {
            const double t = (level - from.y()) / rise; // the ends are on different sides
            if (t > 0.0 && t < 1.0) {
                cuts[count++] = t;
            }
        }
        if (count == 3 && cuts[1] > cuts[2]) {
            std::swap(cuts[1], cuts[2]);
        }
        cuts[count++] = 1.0;
        const auto at = [&](double t) { return t >= 1.0 ? to : from + (to - from) * t; };
        for (int i = 0; i + 1 < count; ++i) {
            const QPointF start = at(cuts[i]);
            const QPointF end = at(cuts[i + 1]);
            addPiece(start.x(), std::clamp(start.y(), 0.0, bottom), end.x(),
                     std::clamp(end.y(), 0.0, bottom));
        }
    }

    // Calls `visit(row, alpha)` (alpha 1 to 255) for each covered pixel of `column`, top
    // down, and clears the column for the next outline.
    template <typename Visit> void drain(int column, Visit&& visit) {
        const auto index = static_cast<std::size_t>(column);
        float* cell = &cells_[index * stride_];
        const int last = last_[index];
        float sum = 0.0f;
        for (int row = first_[index]; row <= last; ++row) {
            sum += cell[row];
            cell[row] = 0.0f;
            const auto alpha =
                static_cast<unsigned>(std::min(std::fabs(sum), 1.0f) * 255.0f + 0.5f);
            if (alpha > 0 && row < rows_) {
                visit(row, alpha);
            }
        }
    }

private:
    // A part of an edge with both ends within [0, rows] vertically.
    void addPiece(double x0, double y0, double x1, double y1) {
        const float sign = x0 < x1 ? 1.0f : -1.0f;
        if (x1 < x0) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        // Narrower than this, an edge adds nothing that shows.
        if (!(x1 - x0 > 1e-9)) {
            return;
        }
        const double slope = (y1 - y0) / (x1 - x0);
        const auto columns = static_cast<double>(columns_);
        // Truncation is floor from zero up.
        int column = static_cast<int>(std::clamp(x0, 0.0, columns));
        const double right = std::clamp(x1, 0.0, columns);
        const int end = static_cast<int>(right) +
                        (static_cast<double>(static_cast<int>(right)) < right ? 1 : 0);
        double from = std::max(x0, static_cast<double>(column));
        double yFrom = y0 + (from - x0) * slope;
        for (; column < end; ++column) {
            const double to = std::min(x1, static_cast<double>(column) + 1.0);
            const double yTo = to == x1 ? y1 : y0 + (to - x0) * slope;
            if (to > from) {
                addCell(column, yFrom, yTo, sign * static_cast<float>(to - from));
            }
            from = to;
            yFrom = yTo;
        }
    }

    // An edge crossing one column from height y0 to y1 (both within [0, rows]): `area` is
    // its signed width, shared among the rows by how much of each lies below the edge.
    void addCell(int column, double y0, double y1, float area) {
        const auto index = static_cast<std::size_t>(column);
        float* cell = &cells_[index * stride_];
        // Rounding may put the ends a hair outside [0, rows].
        const double top = std::max(std::min(y0, y1), 0.0);
        const double bottom = std::min(std::max(std::max(y0, y1), top), static_cast<double>(rows_));
        const int topRow = static_cast<int>(top); // floor from zero up
        const auto topFloor = static_cast<double>(topRow);
        const int bottomRow = static_cast<int>(bottom) +
                              (static_cast<double>(static_cast<int>(bottom)) < bottom ? 1 : 0);
        int lastRow = bottomRow;
        if (bottomRow <= topRow + 1) {
            const auto middle = static_cast<float>(0.5 * (top + bottom) - topFloor);
            cell[topRow] += area * (1.0f - middle);
            cell[topRow + 1] += area * middle;
            lastRow = topRow + 1;
        } else {
            const double inverse = 1.0 / (bottom - top);
            const double topFraction = top - topFloor;
            const double bottomFraction = bottom - bottomRow + 1.0;
            const double firstShare = 0.5 * inverse * (1.0 - topFraction) * (1.0 - topFraction);
            const double lastShare = 0.5 * inverse * bottomFraction * bottomFraction;
            cell[topRow] += area * static_cast<float>(firstShare);
            if (bottomRow == topRow + 2) {
                cell[topRow + 1] += area * static_cast<float>(1.0 - firstShare - lastShare);
            } else {
                const double secondShare = inverse * (1.5 - topFraction);
                cell[topRow + 1] += area * static_cast<float>(secondShare - firstShare);
                const auto step = area * static_cast<float>(inverse);
                for (int row = topRow + 2; row < bottomRow - 1; ++row) {
                    cell[row] += step;
                }
                const double beforeLast = secondShare + (bottomRow - topRow - 3) * inverse;
                cell[bottomRow - 1] += area * static_cast<float>(1.0 - beforeLast - lastShare);
            }
            cell[bottomRow] += area * static_cast<float>(lastShare);
        }
        first_[index] = std::min(first_[index], topRow);
        last_[index] = std::max(last_[index], lastRow);
    }

    std::vector<float> cells_; // column after column, `stride_` rows each
    std::vector<int> first_;   // per column, the first and last row touched
    std::vector<int> last_;
    std::size_t stride_ = 0;
    int columns_ = 0;
    int rows_ = 0;
};

} // namespace

struct SparklineImages::Kept {
    std::vector<SparklineTrack> tracks;
    // The line in device pixels, and per column the first row under it.
    std::vector<QPointF> line;
    std::vector<int> tops;
    ColumnCoverage coverage;
    // The panel's graphs come in two sizes, painted in turn: one buffer, grown to the
    // largest, serves them all instead of a new layer at every change of size.
    std::vector<QRgb> layer;
};

SparklineImages::SparklineImages() : kept_(std::make_unique<Kept>()) {}
SparklineImages::~SparklineImages() = default;
SparklineImages::SparklineImages(SparklineImages&&) noexcept = default;
SparklineImages& SparklineImages::operator=(SparklineImages&&) noexcept = default;

namespace {

using pixels::over;
using pixels::scaled;

// An opaque colour covering `alpha` / 255 of `destination`, in one pass.
inline QRgb mixed(QRgb opaque, unsigned alpha, QRgb destination) {
    const unsigned rest = 255U - alpha;
    quint32 redBlue = (opaque & 0xff00ffU) * alpha + (destination & 0xff00ffU) * rest;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ffU) + 0x800080U) >> 8) & 0xff00ffU;
    quint32 alphaGreen =
        ((opaque >> 8) & 0xff00ffU) * alpha + ((destination >> 8) & 0xff00ffU) * rest;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ffU) + 0x800080U) & 0xff00ff00U;
    return alphaGreen | redBlue;
}

QRgb* pixelAt(uchar* bits, qsizetype bytesPerLine, int column, int row) {
    return reinterpret_cast<QRgb*>(bits + row * bytesPerLine) + column;
}

// Writes the track into `layer` (`ratio` device pixels per point) with what Sparkline::paint()
// draws over it, column by column and without a painter: the area as Qt fills a polygon
// without antialiasing (the pixels whose centres lie under the line take their colour from
// the cached area image), the line as Qt fills its outline with antialiasing.
void rasterSeries(QImage& layer, const SparklineTrack& cached, SparklineImages::Kept& scratch,
                  const Sparkline& sparkline, const QSizeF& size, double ratio,
                  const QColor& series) {
    const int columns = layer.width();
    const int rows = layer.height();
    uchar* const bits = layer.bits();
    const qsizetype bytesPerLine = layer.bytesPerLine();
    const uchar* const trackBits = cached.base.constBits();
    const qsizetype trackBytesPerLine = cached.base.bytesPerLine();
    const uchar* const areaBits = cached.area.constBits();
    const qsizetype areaBytesPerLine = cached.area.bytesPerLine();

    const std::vector<QPointF> logical = sparkline.points(size);
    // Device pixels, without points that coincide (they have no direction to offset along).
    std::vector<QPointF>& line = scratch.line;
    line.clear();
    for (const QPointF& point : logical) {
        const QPointF device = point * ratio;
        if (line.empty() ||
            QPointF::dotProduct(device - line.back(), device - line.back()) > 1e-18) {
            line.push_back(device);
        }
    }
    if (line.size() < 2) {
        for (int row = 0; row < rows; ++row) {
            std::memcpy(bits + row * bytesPerLine, trackBits + row * trackBytesPerLine,
                        static_cast<std::size_t>(columns) * sizeof(QRgb));
        }
        return;
    }

    // Pixel centres inside the area: rows above the bottom edge, columns left of the last
    // point (the first one is at zero), and per column the rows below the line.
    const int areaRows =
        std::clamp(static_cast<int>(std::ceil(size.height() * ratio - 0.5)), 0, rows);
    const int areaColumns =
        std::clamp(static_cast<int>(std::ceil(line.back().x() - 0.5)), 0, columns);
    std::vector<int>& tops = scratch.tops;
    tops.resize(static_cast<std::size_t>(areaColumns));
    int highest = areaRows;
    int lowest = 0;
    std::size_t segment = 0;
    for (int column = 0; column < areaColumns; ++column) {
        const double x = column + 0.5;
        while (segment + 2 < line.size() && line[segment + 1].x() <= x) {
            ++segment;
        }
        const QPointF& a = line[segment];
        const QPointF& b = line[segment + 1];
        const double span = b.x() - a.x();
        const double y =
            span > 0.0 ? a.y() + (b.y() - a.y()) * std::clamp((x - a.x()) / span, 0.0, 1.0) : b.y();
        // The first row whose centre lies below the line (y is within [0, rows]).
        const int top = std::max(0, static_cast<int>(std::floor(y - 0.5)) + 1);
        tops[static_cast<std::size_t>(column)] = top;
        highest = std::min(highest, top);
        lowest = std::max(lowest, top);
    }
    const auto rowBytes = [](int count) { return static_cast<std::size_t>(count) * sizeof(QRgb); };
    for (int row = 0; row < rows; ++row) {
        auto* out = reinterpret_cast<QRgb*>(bits + row * bytesPerLine);
        const auto* track = reinterpret_cast<const QRgb*>(trackBits + row * trackBytesPerLine);
        const auto* shaded = reinterpret_cast<const QRgb*>(areaBits + row * areaBytesPerLine);
        if (row < highest || row >= areaRows) {
            std::memcpy(out, track, rowBytes(columns));
            continue;
        }
        if (row >= lowest) {
            std::memcpy(out, shaded, rowBytes(areaColumns));
        } else {
            // Written as a mask so that the compiler can do several pixels at once.
            for (int column = 0; column < areaColumns; ++column) {
                const QRgb under =
                    0U - static_cast<QRgb>(tops[static_cast<std::size_t>(column)] <= row);
                out[column] = (shaded[column] & under) | (track[column] & ~under);
            }
        }
        std::memcpy(out + areaColumns, track + areaColumns, rowBytes(columns - areaColumns));
    }

    ColumnCoverage& coverage = scratch.coverage;
    coverage.reset(columns, rows);
    const QPolygonF outline = Sparkline::ribbon(line, Sparkline::lineWidth / 2.0 * ratio);
    for (qsizetype i = 0; i < outline.size(); ++i) {
        coverage.addEdge(outline[i], outline[(i + 1) % outline.size()]);
    }
    const QRgb stroke = qPremultiply(series.rgba());
    const bool opaque = qAlpha(stroke) == 255;
    for (int column = 0; column < columns; ++column) {
        coverage.drain(column, [&](int row, unsigned alpha) {
            QRgb* target = pixelAt(bits, bytesPerLine, column, row);
            *target = opaque ? mixed(stroke, alpha, *target) : over(scaled(stroke, alpha), *target);
        });
    }
}

// Cuts the rounded corners out of `layer` (destination-in with the shape's coverage). The
// shape is opaque but for the corner squares, so only those are touched.
void cutCorners(QImage& layer, const SparklineTrack& track) {
    uchar* const bits = layer.bits();
    const qsizetype bytesPerLine = layer.bytesPerLine();
    const uchar* coverage = track.cutCoverage.data();
    for (const QRect& square : track.cutSquares) {
        for (int row = square.top(); row <= square.bottom(); ++row) {
            auto* target = reinterpret_cast<QRgb*>(bits + row * bytesPerLine);
            for (int column = square.left(); column <= square.right(); ++column) {
                target[column] = scaled(target[column], *coverage++);
            }
        }
    }
}

} // namespace

bool paintSparkline(QPainter& painter, const Sparkline& sparkline, const QRectF& rect,
                    const Theme& theme, SparklineImages& images) {
    const double ratio = (painter.device() ? painter.device()->devicePixelRatioF() : 1.0) *
                         painter.worldTransform().m22();
    const double columns = std::ceil(rect.width() * ratio);
    const double rows = std::ceil(rect.height() * ratio);
    // Anything but a plain scale (a rotation, a shear) or an outlandish size is left to
    // QPainter.
    const QTransform& transform = painter.worldTransform();
    const bool layered = transform.isAffine() && transform.m12() == 0.0 && transform.m21() == 0.0 &&
                         transform.m11() == transform.m22() && ratio > 0.0 && columns >= 1.0 &&
                         columns <= 4096.0 && rows >= 1.0 && rows <= 4096.0;
    if (!layered) {
        return false;
    }
    const QSize pixels(static_cast<int>(columns), static_cast<int>(rows));
    const QColor series = theme.color(sparkline.color);
    SparklineImages::Kept& kept = *images.kept_;
    const SparklineTrack& cached =
        sparklineTrack(kept.tracks, pixels, ratio, rect.size(), theme, series);
    std::vector<QRgb>& storage = kept.layer;
    const auto needed =
        static_cast<std::size_t>(pixels.width()) * static_cast<std::size_t>(pixels.height());
    if (storage.size() < needed) {
        storage.resize(needed);
    }
    QImage layer(reinterpret_cast<uchar*>(storage.data()), pixels.width(), pixels.height(),
                 static_cast<qsizetype>(pixels.width()) * 4, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    rasterSeries(layer, cached, kept, sparkline, rect.size(), ratio, series);
    cutCorners(layer, cached);
    painter.drawImage(rect.topLeft(), layer);
    return true;
}

} // namespace trovimo
