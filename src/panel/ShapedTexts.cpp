#include "panel/ShapedTexts.h"

#include "panel/RecentCache.h"

#include <QTransform>

namespace trovimo {
namespace {

struct Key {
    QString text;
    FontSpec font;
    double available;
    friend bool operator==(const Key&, const Key&) = default;
};

size_t qHash(const Key& key, size_t seed = 0) noexcept {
    return qHashMulti(seed, key.text, static_cast<int>(key.font.style),
                      static_cast<int>(key.font.weight), key.font.monospacedDigits,
                      key.font.rounded, key.font.pixelSize, key.available);
}

} // namespace

struct ShapedTexts::Recent {
    // A panel draws a few dozen texts; values that changed are dropped soon after.
    RecentCache<Key, ShapedText> texts{64};
};

ShapedTexts::ShapedTexts() : recent_(std::make_unique<Recent>()) {}
ShapedTexts::~ShapedTexts() = default;
ShapedTexts::ShapedTexts(ShapedTexts&&) noexcept = default;
ShapedTexts& ShapedTexts::operator=(ShapedTexts&&) noexcept = default;

ShapedText ShapedTexts::shaped(const QString& text, const FontSpec& spec, double available,
                               const Theme& theme) {
    Key key{text, spec, available};
    if (const ShapedText* found = recent_->texts.find(key)) {
        return *found;
    }
    const QFontMetricsF& metrics = theme.metrics(spec);
    ShapedText entry;
    entry.shown = available < 0.0 ? text : metrics.elidedText(text, Qt::ElideRight, available);
    entry.width = metrics.horizontalAdvance(entry.shown);
    entry.staticText.setText(entry.shown);
    entry.staticText.setTextFormat(Qt::PlainText);
    entry.staticText.setPerformanceHint(QStaticText::AggressiveCaching);
    entry.staticText.prepare(QTransform(), theme.font(spec));
    return recent_->texts.insert(key, std::move(entry));
}

} // namespace trovimo
