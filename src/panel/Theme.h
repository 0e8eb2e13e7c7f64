#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPalette>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace trovimo {

// Text styles of the panel. Sizes are logical pixels (one panel "point" is one device
// independent pixel), so a layout measures the same on screen and in an offscreen image.
enum class TextStyle : std::uint8_t { caption, caption2, title2, title3, callout };

// Hierarchical foreground styles follow the desktop palette's text colour at falling
// opacities; the named colours are fixed hues with a light and a dark variant.
enum class ColorRole : std::uint8_t {
    primary,
    secondary,
    tertiary,
    quaternary,
    separator,
    blue,
    orange,
    red,
    teal,
    gray,
    green,
};
inline constexpr std::size_t colorRoleCount = 11;

struct FontSpec {
    TextStyle style = TextStyle::caption;
    QFont::Weight weight = QFont::Normal;
    // Digits of equal advance, so a changing number does not make its row jitter.
    bool monospacedDigits = false;
    // The rounded design where an installed face offers one; the regular face otherwise.
    bool rounded = false;
    // Non-zero: a fixed size in logical pixels instead of the style's size (symbols).
    double pixelSize = 0.0;

    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// Colours and fonts of the panel, derived from one palette. Cheap to copy; font metrics
// are cached per font and shared between copies.
class Theme {
public:
    enum class Appearance : std::uint8_t { light, dark };

    // The desktop's current palette (light or dark decided by its window colour).
    [[nodiscard]] static Theme fromPalette(const QPalette& palette);
    // Canned palettes for tests, snapshots and benchmarks.
    [[nodiscard]] static Theme light();
    [[nodiscard]] static Theme dark();

    [[nodiscard]] Appearance appearance() const noexcept { return appearance_; }
    [[nodiscard]] QColor color(ColorRole role) const;
    // Panel background: the window colour, translucent unless made opaque.
    [[nodiscard]] QColor background() const { return background_; }
    // Where nothing composites the desktop a translucent window shows black behind its
    // colours; it is drawn opaque there.
    void setOpaqueBackground(bool opaque);

    [[nodiscard]] static double pixelSize(TextStyle style) noexcept;
    // The face of the large semibold figures: a Latin face that has the weight, whatever the
    // locale (under a Japanese one the desktop's face may be a Japanese face of one weight,
    // which draws semibold text regular). Empty when none is installed.
    [[nodiscard]] static QString semiboldFamily();
    [[nodiscard]] QFont font(const FontSpec& spec) const;
    [[nodiscard]] const QFontMetricsF& metrics(const FontSpec& spec) const;

    // Convenience measures in logical pixels.
    [[nodiscard]] double textWidth(const QString& text, const FontSpec& spec) const;
    [[nodiscard]] double ascent(const FontSpec& spec) const;
    [[nodiscard]] double descent(const FontSpec& spec) const;
    [[nodiscard]] double lineHeight(const FontSpec& spec) const;
    // Height of `text` word-wrapped into `width` (explicit line breaks kept).
    [[nodiscard]] double wrappedHeight(const QString& text, const FontSpec& spec,
                                       double width) const;
    // Where the lines of `text` wrapped into `width` start, placed as a Japanese typesetter
    // would (no lone character on the last line; see LineBreaking.h).
    [[nodiscard]] std::vector<qsizetype> evenLineBreaks(const QString& text, const FontSpec& spec,
                                                        double width) const;

private:
    struct FontCache;
    Theme(Appearance appearance, const QColor& foreground, const QColor& window);

    Appearance appearance_ = Appearance::light;
    std::array<QColor, colorRoleCount> colors_{};
    QColor background_;
    std::shared_ptr<FontCache> fonts_;
};

} // namespace trovimo
