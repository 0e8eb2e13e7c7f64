#include "panel/raster/ShapeLayer.h"

#include "panel/raster/PixelMath.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trovimo {
namespace {

// Larger layers (in device pixels a side) are left to QPainter.
constexpr double largestSide = 4096.0;
// A layer bigger than this (in pixels) is not kept for the next paint.
constexpr qsizetype keptPixels = 1 << 18;

using pixels::over;
using pixels::scaled;

// `count` pixels from `out` on set to `value`.
inline void fillPixels(QRgb* out, int count, QRgb value) {
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    for (; count >= 4; count -= 4, out += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), four);
    }
#endif
    for (; count > 0; --count) {
        *out++ = value;
    }
}

// `source` over `count` pixels from `out` on.
inline void blendPixels(QRgb* out, int count, QRgb source) {
    const unsigned rest = 255U - qAlpha(source);
#if defined(__SSE2__)
    // scaled() in 16-bit lanes, four pixels at a time: the same sums, none of them carrying
    // out of its lane.
    const __m128i sources = _mm_set1_epi32(static_cast<int>(source));
    const __m128i factor = _mm_set1_epi16(static_cast<short>(rest));
    const __m128i lowBytes = _mm_set1_epi16(0x00ff);
    const __m128i half = _mm_set1_epi16(0x0080);
    for (; count >= 4; count -= 4, out += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
        __m128i redBlue = _mm_mullo_epi16(_mm_and_si128(pixels, lowBytes), factor);
        __m128i alphaGreen = _mm_mullo_epi16(_mm_srli_epi16(pixels, 8), factor);
        redBlue = _mm_add_epi16(_mm_add_epi16(redBlue, _mm_srli_epi16(redBlue, 8)), half);
        alphaGreen = _mm_add_epi16(_mm_add_epi16(alphaGreen, _mm_srli_epi16(alphaGreen, 8)), half);
        const __m128i product =
            _mm_or_si128(_mm_srli_epi16(redBlue, 8), _mm_andnot_si128(lowBytes, alphaGreen));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi32(product, sources));
    }
#endif
    for (; count > 0; --count, ++out) {
        *out = source + scaled(*out, rest);
    }
}

// `color` at `opacity`, premultiplied, as Qt's raster engine makes a solid brush of it.
QRgb brushPixel(const QColor& color, double opacity) {
    const double clamped = opacity > 0.0 ? std::min(opacity, 1.0) : 0.0; // NaN: nothing
    const auto weight = static_cast<unsigned>(std::lround(clamped * 256.0));
    QRgba64 rgba = color.rgba64();
    rgba.setAlpha(static_cast<quint16>((rgba.alpha() * weight) >> 8));
    return qPremultiply(rgba).toArgb32();
}

// A fraction of a pixel as Qt's antialiasing rasteriser turns its coverage into alpha.
inline unsigned alphaOf(double coverage) {
    return coverage > 0.0 ? std::min(255U, static_cast<unsigned>(coverage * 256.0)) : 0U;
}

// `value` rounded down into [low, high]; NaN gives `low`.
inline int within(double value, int low, int high) {
    if (!(value > low)) {
        return low;
    }
    return value < high ? static_cast<int>(value) : high;
}

// How far the centre of a pixel lies outside a quarter ellipse with radii `rx` and `ry`,
// `u` and `v` from its centre (negative inside). Exact for a circle; for an ellipse the
// first-order estimate (the implicit function over its gradient), good near the arc.
inline double arcDistance(double u, double v, double rx, double ry) {
    if (rx == ry) {
        return std::sqrt(u * u + v * v) - rx;
    }
    const double a = u / rx;
    const double b = v / ry;
    const double k0 = std::sqrt(a * a + b * b);
    const double k1 = std::sqrt((a / rx) * (a / rx) + (b / ry) * (b / ry));
    return k0 * (k0 - 1.0) / k1; // NaN at the centre, where the edges decide
}

} // namespace

bool ShapeLayer::Pixels::begin(int width, int height) {
    const QSize have = image.size();
    if (have.width() < width || have.height() < height ||
        qsizetype(have.width()) * have.height() > keptPixels) {
        QSize size(std::max(have.width(), width), std::max(have.height(), height));
        if (qsizetype(size.width()) * size.height() > keptPixels) {
            size = QSize(width, height);
        }
        if (size != have) {
            image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        }
        if (image.isNull()) {
            return false;
        }
    }
    columns_ = width;
    rows_ = height;
    bits_ = image.bits();
    bytesPerLine_ = image.bytesPerLine();
    for (int row = 0; row < rows_; ++row) {
        std::memset(bits_ + row * bytesPerLine_, 0, static_cast<std::size_t>(columns_) * 4U);
    }
    first_.assign(static_cast<std::size_t>(rows_), columns_);
    last_.assign(static_cast<std::size_t>(rows_), 0);
    written = QRect();
    return true;
}

QRgb* ShapeLayer::Pixels::line(int row) {
    return reinterpret_cast<QRgb*>(bits_ + row * bytesPerLine_);
}

// `source` (a premultiplied colour already scaled by its coverage) over columns [from, to)
// of `row`.
void ShapeLayer::Pixels::span(QRgb* out, int row, int from, int to, QRgb source) {
    if (from >= to || source == 0) {
        return;
    }
    const int blendFrom = std::max(from, first_[static_cast<std::size_t>(row)]);
    const int blendTo = std::min(to, last_[static_cast<std::size_t>(row)]);
    if (qAlpha(source) == 255 || blendFrom >= blendTo) {
        fillPixels(out + from, to - from, source);
        return;
    }
    fillPixels(out + from, blendFrom - from, source);
    blendPixels(out + blendFrom, blendTo - blendFrom, source);
    fillPixels(out + blendTo, to - blendTo, source);
}

// Columns [from, to) of `row` are no longer transparent.
void ShapeLayer::Pixels::touched(int row, int from, int to) {
    int& rowFirst = first_[static_cast<std::size_t>(row)];
    int& rowLast = last_[static_cast<std::size_t>(row)];
    rowFirst = std::min(rowFirst, from);
    rowLast = std::max(rowLast, to);
}

void ShapeLayer::Pixels::fill(double x0, double y0, double x1, double y1, double rx, double ry,
                              QRgb color) {
    const auto width = static_cast<double>(columns_);
    const auto height = static_cast<double>(rows_);
    if (!(x1 > 0.0 && x0 < width && y1 > 0.0 && y0 < height && x1 > x0 && y1 > y0)) {
        return;
    }
    // The corners' centres; on an infinite side they are out of reach.
    const bool rounded = rx > 0.0 && ry > 0.0;
    const double left = x0 + rx;
    const double right = x1 - rx;
    const double top = y0 + ry;
    const double bottom = y1 - ry;
    // Edges pulled in to just beyond the layer cover its pixels the same.
    x0 = std::max(x0, -1.0);
    x1 = std::min(x1, width + 1.0);
    y0 = std::max(y0, -1.0);
    y1 = std::min(y1, height + 1.0);
    const int columnBegin = within(std::floor(x0), 0, columns_);
    const int columnEnd = within(std::ceil(x1), columnBegin, columns_);
    const int rowBegin = within(std::floor(y0), 0, rows_);
    const int rowEnd = within(std::ceil(y1), rowBegin, rows_);
    // Pixel by pixel: the partly covered first and last columns, and in the rows of the
    // corners, the columns whose centres lie beside the corners' centres. The rest of a
    // row has one coverage throughout.
    const int edgeLeftEnd = x0 > columnBegin ? std::min(columnBegin + 1, columnEnd) : columnBegin;
    const int edgeRightBegin = x1 < columnEnd ? std::max(columnEnd - 1, edgeLeftEnd) : columnEnd;
    const int cornerLeftEnd =
        std::max(within(std::ceil(left - 0.5), columnBegin, columnEnd), edgeLeftEnd);
    const int cornerRightBegin =
        std::min(within(std::floor(right - 0.5) + 1.0, cornerLeftEnd, columnEnd),
                 std::max(edgeRightBegin, cornerLeftEnd));
    const auto coverageX = [&](int column) {
        return std::min(std::min(x1, column + 1.0) - std::max(x0, static_cast<double>(column)),
                        1.0);
    };
    const auto covering = [&](double coverage) {
        const unsigned alpha = alphaOf(coverage);
        return alpha == 255 ? color : scaled(color, alpha);
    };

    // A row partly covered, or in the corners.
    const auto edgeRow = [&](int row) {
        const double cy =
            std::min(std::min(y1, row + 1.0) - std::max(y0, static_cast<double>(row)), 1.0);
        const double centreY = row + 0.5;
        const bool corner = rounded && (centreY < top || centreY > bottom);
        const double v = centreY < top ? top - centreY : centreY - bottom;
        QRgb* const out = line(row);
        const int writtenFirst = first_[static_cast<std::size_t>(row)];
        const int writtenLast = last_[static_cast<std::size_t>(row)];
        const auto pixel = [&](int column) {
            double coverage = coverageX(column) * cy;
            const double centreX = column + 0.5;
            if (corner && (centreX < left || centreX > right)) {
                const double u = centreX < left ? left - centreX : centreX - right;
                const double distance = arcDistance(u, v, rx, ry);
                if (distance > -0.5) {
                    coverage = std::min(coverage, distance < 0.5 ? 0.5 - distance : 0.0);
                }
            }
            const QRgb source = covering(coverage);
            if (column < writtenFirst || column >= writtenLast) {
                out[column] = source; // over transparent
            } else if (source != 0) {
                out[column] = over(source, out[column]);
            }
        };
        const int leftEnd = corner ? cornerLeftEnd : edgeLeftEnd;
        const int rightBegin = corner ? cornerRightBegin : edgeRightBegin;
        for (int column = columnBegin; column < leftEnd; ++column) {
            pixel(column);
        }
        span(out, row, leftEnd, rightBegin, covering(cy));
        for (int column = rightBegin; column < columnEnd; ++column) {
            pixel(column);
        }
        touched(row, columnBegin, columnEnd);
    };

    // Rows wholly covered and clear of the corners are all alike.
    const int bandBegin =
        std::max(within(std::ceil(y0), rowBegin, rowEnd),
                 rounded ? within(std::ceil(top - 0.5), rowBegin, rowEnd) : rowBegin);
    const int bandEnd = std::max(
        std::min(within(std::floor(y1), rowBegin, rowEnd),
                 rounded ? within(std::floor(bottom - 0.5) + 1.0, rowBegin, rowEnd) : rowEnd),
        bandBegin);
    for (int row = rowBegin; row < bandBegin; ++row) {
        edgeRow(row);
    }
    const QRgb leftEdge = edgeLeftEnd > columnBegin ? covering(coverageX(columnBegin)) : 0;
    const QRgb rightEdge = edgeRightBegin < columnEnd ? covering(coverageX(columnEnd - 1)) : 0;
    for (int row = bandBegin; row < bandEnd; ++row) {
        QRgb* const out = line(row);
        if (leftEdge != 0) {
            out[columnBegin] = over(leftEdge, out[columnBegin]);
        }
        span(out, row, edgeLeftEnd, edgeRightBegin, color);
        if (rightEdge != 0) {
            out[columnEnd - 1] = over(rightEdge, out[columnEnd - 1]);
        }
        touched(row, columnBegin, columnEnd);
    }
    for (int row = bandEnd; row < rowEnd; ++row) {
        edgeRow(row);
    }
    written |= QRect(columnBegin, rowBegin, columnEnd - columnBegin, rowEnd - rowBegin);
}

ShapeLayer::ShapeLayer(QPainter& painter, const QRectF& area, Pixels& pixels) : painter_(painter) {
    if (!painter.isActive() || !(area.width() > 0.0 && area.height() > 0.0) ||
        std::isnan(area.left() + area.top())) {
        return; // nowhere to draw, or nothing to draw into
    }
    const QTransform& device = painter.deviceTransform();
    const double ratio = device.m11();
    const QPaintEngine* engine = painter.paintEngine();
    const bool plain = engine != nullptr && engine->type() == QPaintEngine::Raster &&
                       device.type() <= QTransform::TxScale && ratio == device.m22() &&
                       ratio > 0.0 && std::isfinite(ratio) &&
                       painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    // The area's device pixels, whole ones: the layer lines up with the device's.
    const double left = std::floor(area.left() * ratio + device.dx());
    const double top = std::floor(area.top() * ratio + device.dy());
    const double columns = std::ceil(area.right() * ratio + device.dx()) - left;
    const double rows = std::ceil(area.bottom() * ratio + device.dy()) - top;
    const bool sane = std::abs(left) < 1e9 && std::abs(top) < 1e9 && columns >= 1.0 &&
                      columns <= largestSide && rows >= 1.0 && rows <= largestSide;
    if (plain && sane && !pixels.busy &&
        pixels.begin(static_cast<int>(columns), static_cast<int>(rows))) {
        pixels.busy = true;
        pixels_ = &pixels;
        mode_ = Mode::layered;
        ratio_ = ratio;
        shift_ = QPointF(device.dx() - left, device.dy() - top);
        topLeft_ = QPointF((left - device.dx()) / ratio, (top - device.dy()) / ratio);
        return;
    }
    mode_ = Mode::declined;
}

ShapeLayer::~ShapeLayer() {
    finish();
}

void ShapeLayer::fillRoundedRect(const QRectF& rect, double xRadius, double yRadius,
                                 const QColor& color, double opacity) {
    if (mode_ != Mode::layered) {
        return;
    }
    double x0 = rect.left();
    double x1 = x0 + rect.width();
    double y0 = rect.top();
    double y1 = y0 + rect.height();
    if (std::isnan(x0) || std::isnan(x1) || std::isnan(y0) || std::isnan(y1) ||
        std::isnan(xRadius) || std::isnan(yRadius)) {
        return;
    }
    if (x1 < x0) {
        std::swap(x0, x1);
    }
    if (y1 < y0) {
        std::swap(y0, y1);
    }
    double rx = 0.0;
    double ry = 0.0;
    if (xRadius > 0.0 && yRadius > 0.0) {
        rx = std::min(xRadius, (x1 - x0) / 2.0);
        ry = std::min(yRadius, (y1 - y0) / 2.0);
    }
    const QRgb pixel = brushPixel(color, opacity);
    if (pixel == 0) {
        return;
    }
    double deviceRx = rx * ratio_;
    double deviceRy = ry * ratio_;
    if (!(std::isfinite(deviceRx) && std::isfinite(deviceRy))) {
        deviceRx = 0.0; // an infinite shape's corners are nowhere near
        deviceRy = 0.0;
    }
    const auto deviceX = [&](double x) { return x * ratio_ + shift_.x(); };
    const auto deviceY = [&](double y) { return y * ratio_ + shift_.y(); };
    pixels_->fill(deviceX(x0), deviceY(y0), deviceX(x1), deviceY(y1), deviceRx, deviceRy, pixel);
}

void ShapeLayer::finish() {
    if (std::exchange(mode_, Mode::finished) != Mode::layered) {
        return;
    }
    const QRect written = pixels_->written;
    if (!written.isEmpty()) {
        // One device pixel to one layer pixel: nothing to smooth.
        const bool smooth = painter_.testRenderHint(QPainter::SmoothPixmapTransform);
        if (smooth) {
            painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        }
        const QRectF target(topLeft_.x() + written.x() / ratio_,
                            topLeft_.y() + written.y() / ratio_, written.width() / ratio_,
                            written.height() / ratio_);
        painter_.drawImage(target, pixels_->image, QRectF(written));
        if (smooth) {
            painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
        }
    }
    pixels_->busy = false;
    pixels_ = nullptr;
}

} // namespace trovimo
