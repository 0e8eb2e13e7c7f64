#include "panel/SymbolImages.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <cmath>
#include <memory>
#include <tuple>

// The resource file lives in a static library; without an explicit reference the linker
// drops its registration.
static void registerPanelResources() {
    Q_INIT_RESOURCE(panel);
}

namespace trovimo {
namespace {

// The parsed art holds neither pixels nor colours: one set serves every cache and palette.
QSvgRenderer& renderer(Symbol symbol) {
    static std::unique_ptr<QSvgRenderer> renderers[7];
    auto& slot = renderers[static_cast<std::size_t>(symbol)];
    if (!slot) {
        static const bool registered = (registerPanelResources(), true);
        (void)registered;
        slot = std::make_unique<QSvgRenderer>(QStringLiteral(":/trovimo/symbols/") +
                                              SymbolImages::name(symbol) + QStringLiteral(".svg"));
    }
    return *slot;
}

// Drawn by hand for 9 device pixels, the symbols' size at 1x: rasterised from the vector
// art, strokes thinner than a pixel land between pixels and the gear, the pins and the
// open-page square turn into grey blobs. '#' is ink.
using PixelArt = std::array<const char*, 9>;
constexpr int pixelArtSize = 9;

const PixelArt* pixelArt(Symbol symbol) {
    // clang-format off
    static constexpr PixelArt gear{
        "....#....",
        ".#.###.#.",
        "..#####..",
        ".##...##.",
        "###...###",
        ".##...##.",
        "..#####..",
        ".#.###.#.",
        "....#....",
    };
    static constexpr PixelArt pin{
        "..#####..",
        "...###...",
        "...###...",
        "...###...",
        "..#####..",
        ".#######.",
        "....#....",
        "....#....",
        "....#....",
    };
    static constexpr PixelArt pinSlash{
        "#.#####..",
        ".#.###...",
        "..#.##...",
        "...#.#...",
        "..###.#..",
        ".#####.#.",
        "....#.#..",
        "....#..#.",
        "....#...#",
    };
    static constexpr PixelArt openPage{
        ".#######.",
        "#.......#",
        "#..####.#",
        "#....##.#",
        "#...#.#.#",
        "#..#..#.#",
        "#.#.....#",
        "#.......#",
        ".#######.",
    };
    static constexpr PixelArt warning{
        ".........",
        "....#....",
        "...###...",
        "...#.#...",
        "..##.##..",
        "..##.##..",
        ".#######.",
        ".###.###.",
        "#########",
    };
    // clang-format on
    switch (symbol) {
    case Symbol::settings:
        return &gear;
    case Symbol::pinned:
        return &pin;
    case Symbol::unpinned:
        return &pinSlash;
    case Symbol::openPage:
        return &openPage;
    case Symbol::alert:
        return &warning;
    case Symbol::download:
    case Symbol::upload:
        break;
    }
    return nullptr;
}

void drawPixelArt(QImage& image, const PixelArt& art, const QColor& color) {
    const QRgb ink = qPremultiply(color.rgba());
    for (int y = 0; y < pixelArtSize; ++y) {
        for (int x = 0; x < pixelArtSize; ++x) {
            if (art[static_cast<std::size_t>(y)][x] == '#') {
                image.setPixel(x, y, ink);
            }
        }
    }
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
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (const PixelArt* art = pixelArt(symbol); art != nullptr && pixels == pixelArtSize) {
        drawPixelArt(image, *art, color);
    } else {
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
