#include "panel/SymbolImages.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

// The resource file lives in a static library; without an explicit reference the linker
// drops its registration.
static void registerPanelResources() {
    Q_INIT_RESOURCE(panel);
}

namespace trovimo {
namespace {

// The symbol's art in the resources: `<name><suffix>`.
QString resource(Symbol symbol, QLatin1StringView suffix) {
    static const bool registered = (registerPanelResources(), true);
    (void)registered;
    return QStringLiteral(":/trovimo/symbols/") + SymbolImages::name(symbol) + suffix;
}

// The parsed art holds neither pixels nor colours: one set serves every cache and palette.
QSvgRenderer& renderer(Symbol symbol) {
    static std::unique_ptr<QSvgRenderer> renderers[7];
    auto& slot = renderers[static_cast<std::size_t>(symbol)];
    if (!slot) {
        slot = std::make_unique<QSvgRenderer>(resource(symbol, QLatin1StringView(".svg")));
    }
    return *slot;
}

// At 9 device pixels, the symbols' size at 1x, most come from art drawn by hand for that size
// (symbols/<name>-9px.png, ink where it is opaque): rasterised from the vector art, strokes
// thinner than a pixel land between pixels and the gear, the pins and the open-page square
// turn into grey blobs. Read when first asked for in a colour, not kept.
QImage handDrawn(Symbol symbol, int pixels, const QColor& color) {
    constexpr int drawnSize = 9;
    if (pixels != drawnSize) {
        return {};
    }
    const QImage art = QImage(resource(symbol, QLatin1StringView("-9px.png")))
                           .convertToFormat(QImage::Format_ARGB32);
    if (art.size() != QSize(drawnSize, drawnSize)) {
        return {};
    }
    QImage image(art.size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb ink = qPremultiply(color.rgba());
    for (int y = 0; y < drawnSize; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(art.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < drawnSize; ++x) {
            to[x] = qAlpha(from[x]) == 255 ? ink : 0;
        }
    }
    return image;
}

} // namespace

QString SymbolImages::name(Symbol symbol) {
    switch (symbol) {
    case Symbol::settings:
        return QStringLiteral("settings");
    case Symbol::pinned:
        return QStringLiteral("pinned");
    case Symbol::unpinned:
        return QStringLiteral("unpinned");
    case Symbol::alert:
        return QStringLiteral("alert");
    case Symbol::openPage:
        return QStringLiteral("openPage");
    case Symbol::download:
        return QStringLiteral("download");
    case Symbol::upload:
        return QStringLiteral("upload");
    }
    return QString();
}

QImage SymbolImages::image(Symbol symbol, double pixelSize, const QColor& color,
                           double devicePixelRatio) {
    const int pixels = std::max(1, static_cast<int>(std::lround(pixelSize * devicePixelRatio)));
    const Key key{symbol, pixels, color.rgba()};
    if (auto found = images_.constFind(key); found != images_.constEnd()) {
        return *found;
    }
    QImage image = handDrawn(symbol, pixels, color);
    if (image.isNull()) {
        image = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer(symbol).render(&painter, QRectF(0, 0, pixels, pixels));
        // Keep the art's coverage, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    // A panel uses a few dozen variants at most; the bound only guards against a
    // pathological stream of scale factors.
    if (images_.size() > 256) {
        images_.clear();
    }
    images_.insert(key, image);
    return image;
}

} // namespace trovimo
