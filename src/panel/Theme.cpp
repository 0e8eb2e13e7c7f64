#include "panel/Theme.h"

#include "panel/LineBreaking.h"
#include "panel/RecentCache.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHash>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace trovimo {
namespace {

// The named colours in their light and dark variants.
struct NamedColor {
    ColorRole role;
    QRgb light;
    QRgb dark;
};
constexpr NamedColor namedColors[] = {
    {ColorRole::blue, qRgb(0x00, 0x7a, 0xff), qRgb(0x0a, 0x84, 0xff)},
    {ColorRole::orange, qRgb(0xff, 0x95, 0x00), qRgb(0xff, 0x9f, 0x0a)},
    {ColorRole::red, qRgb(0xff, 0x3b, 0x30), qRgb(0xff, 0x45, 0x3a)},
    {ColorRole::teal, qRgb(0x30, 0xb0, 0xc7), qRgb(0x40, 0xc8, 0xe0)},
    {ColorRole::gray, qRgb(0x8e, 0x8e, 0x93), qRgb(0x98, 0x98, 0x9d)},
    {ColorRole::green, qRgb(0x34, 0xc7, 0x59), qRgb(0x30, 0xd1, 0x58)},
};

// Opacity of the foreground colour for each hierarchical level.
struct Hierarchy {
    ColorRole role;
    float light;
    float dark;
};
constexpr Hierarchy hierarchy[] = {
    {ColorRole::primary, 0.85f, 0.85f},   {ColorRole::secondary, 0.50f, 0.55f},
    {ColorRole::tertiary, 0.26f, 0.25f},  {ColorRole::quaternary, 0.10f, 0.12f},
    {ColorRole::separator, 0.12f, 0.16f},
};

// Japanese faces with TrueType outlines come first: FreeType opens them straight from the
// mapped file with a few kilobytes of its own, while a CFF-outlined CJK face (Noto Sans CJK,
// Source Han Sans) builds about 1 MB of glyph tables in every process that draws with it.
// Looked up by their English names: under a Japanese locale the font list names them in
// Japanese ("IPAexゴシック"), and only the lookup knows both.
QString cjkFamily() {
    static const QString family = [] {
        for (const char* candidate :
             {"IPAexGothic", "IPAPGothic", "VL PGothic", "TakaoPGothic", "Noto Sans CJK JP",
              "Source Han Sans JP", "IPAGothic", "Droid Sans Fallback"}) {
            if (QFontDatabase::hasFamily(QLatin1String(candidate))) {
                return QString::fromLatin1(candidate);
            }
        }
        return QString();
    }();
    return family;
}

QString roundedFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const QString& name : families) {
            if (name.contains(QLatin1String("Rounded"), Qt::CaseInsensitive)) {
                return name;
            }
        }
        return QString();
    }();
    return family;
}

// Whether the digits of `family` in `weight` share one advance. Measured unhinted, as the
// panel draws: a hinted probe would set up FreeType's bytecode interpreter for a face that
// never needs it (some tens of kB).
bool hasTabularDigits(const QString& family, QFont::Weight weight) {
    QFont font(family);
    font.setPixelSize(12);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferNoShaping);
    const QFontMetricsF metrics(font);
    const double zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (std::abs(metrics.horizontalAdvance(QLatin1Char(digit)) - zero) > 0.01) {
            return false;
        }
    }
    return true;
}

// Whether `family` has an upright face of semibold weight or heavier. Qt does not embolden
// a face for a semibold request, so a family without one draws semibold text regular.
bool hasHeavyFace(const QString& family) {
    const QStringList styles = QFontDatabase::styles(family);
    return std::any_of(styles.begin(), styles.end(), [&](const QString& style) {
        return QFontDatabase::weight(family, style) >= QFont::DemiBold &&
               !QFontDatabase::italic(family, style);
    });
}

// The face fontconfig picks for `family` in Latin text. Under a Japanese locale the
// application font's alias ("Sans Serif") resolves to a Japanese face; asked for English,
// the same alias gives the desktop's Latin UI face.
QString latinFamily(const QString& family) {
    const std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(),
                                                                          &FcPatternDestroy);
    if (!pattern) {
        return QString();
    }
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(name.constData()));
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("en"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_DEMIBOLD);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(
        FcFontMatch(nullptr, pattern.get(), &result), &FcPatternDestroy);
    FcChar8* found = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &found) != FcResultMatch) {
        return QString();
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(found));
}

// The face for the large semibold figures (the clock, the CPU and GPU percentages): digits,
// "%", ":" and Latin letters in a face that has the weight, and even digits where asked.
// Japanese faces are passed over: the common one has a single weight (IPAexGothic), and
// the bold of a CFF-outlined one (Noto Sans CJK) would cost about 1 MB of tables for a few
// digits. Japanese text in these fonts still falls through to the Japanese face.
QString figureFamily(bool tabularDigits) {
    const auto pick = [](bool tabular) {
        const auto fits = [tabular](const QString& family) {
            if (family.isEmpty() || !hasHeavyFace(family) ||
                QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) {
                return false;
            }
            return !tabular || hasTabularDigits(family, QFont::DemiBold);
        };
        // Fontconfig is asked only where the application's own face will not do. DejaVu
        // Sans comes with fontconfig on Debian: the last resort.
        const QFont application = QGuiApplication::font();
        if (QString family = QFontInfo(application).family(); fits(family)) {
            return family;
        }
        if (QString family = latinFamily(application.family()); fits(family)) {
            return family;
        }
        if (QString family = QStringLiteral("DejaVu Sans"); fits(family)) {
            return family;
        }
        return QString();
    };
    if (tabularDigits) {
        static const QString tabular = pick(true);
        return tabular;
    }
    static const QString proportional = pick(false);
    return proportional;
}

} // namespace

struct Theme::FontCache {
    struct Entry {
        FontSpec spec;
        QFont font;
        QFontMetricsF metrics;
        // Asked for by every line of every layout; each answer walks Qt's font engines.
        double ascent = 0.0;
        double descent = 0.0;
        double lineHeight = 0.0;
        // Measuring shapes the text, which costs far more than the lookup; the panel lays
        // itself out every refresh with mostly the same labels and units.
        mutable RecentCache<QString, double> widths{32};
        // Placing breaks measures every piece of the text; an alert stays up for many
        // refreshes.
        mutable RecentCache<std::pair<QString, double>, std::vector<qsizetype>> breaks{4};
    };
    // A handful of distinct specs per panel: a linear search beats hashing.
    std::vector<std::unique_ptr<Entry>> entries;

    const Entry& entry(const FontSpec& spec) {
        for (const auto& existing : entries) {
            if (existing->spec == spec) {
                return *existing;
            }
        }
        QFont font = makeFont(spec);
        const QFontMetricsF metrics(font);
        entries.push_back(std::make_unique<Entry>(
            Entry{spec, font, metrics, metrics.ascent(), metrics.descent(), metrics.height()}));
        return *entries.back();
    }

    static QFont makeFont(const FontSpec& spec) {
        // The application font may name a fontconfig alias ("Sans Serif"), which is no
        // family of its own: in a list of families Qt skips it, and the CJK face would
        // draw everything, bold and regular faces both loaded (~0.7 MB each). Name the face
        // the alias stands for instead, so CJK faces load only for text that needs them.
        const QString system = QFontInfo(QGuiApplication::font()).family();
        const bool heavy = spec.weight >= QFont::DemiBold;
        QStringList families;
        if (spec.rounded && !roundedFamily().isEmpty() &&
            (!heavy || hasHeavyFace(roundedFamily()))) {
            families << roundedFamily();
        }
        const QString figures = heavy ? figureFamily(spec.monospacedDigits) : QString();
        if (!figures.isEmpty()) {
            families << figures;
        }
        families << system;
        if (spec.monospacedDigits && figures.isEmpty()) {
            if (!hasTabularDigits(system, QFont::Normal)) {
                // DejaVu's digits share one advance; put it in front for the digits.
                families.prepend(QStringLiteral("DejaVu Sans"));
            }
        }
        if (!cjkFamily().isEmpty()) {
            families << cjkFamily();
        }
        QFont font;
        font.setFamilies(families);
        const double size = spec.pixelSize > 0.0 ? spec.pixelSize : pixelSize(spec.style);
        font.setPixelSize(std::max(1, static_cast<int>(size + 0.5)));
        font.setWeight(spec.weight);
        font.setHintingPreference(QFont::PreferNoHinting);
        // Latin, kana and kanji need no shaping: glyphs then come straight from the
        // character map. Shaping would load each CJK face's large GSUB/GPOS tables into
        // memory (~250 kB a face) and run HarfBuzz on every new string; scripts that do
        // need shaping still get it.
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }
};

Theme::Theme(Appearance appearance, const QColor& foreground, const QColor& window)
    : appearance_(appearance), fonts_(std::make_shared<FontCache>()) {
    const bool dark = appearance == Appearance::dark;
    for (const Hierarchy& level : hierarchy) {
        QColor color = foreground;
        color.setAlphaF(dark ? level.dark : level.light);
        colors_[static_cast<std::size_t>(level.role)] = color;
    }
    for (const NamedColor& named : namedColors) {
        colors_[static_cast<std::size_t>(named.role)] = QColor(dark ? named.dark : named.light);
    }
    background_ = window;
    setOpaqueBackground(false);
}

void Theme::setOpaqueBackground(bool opaque) {
    background_.setAlphaF(opaque ? 1.0f : appearance_ == Appearance::dark ? 0.80f : 0.82f);
}

Theme Theme::fromPalette(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    const Appearance appearance =
        window.lightnessF() < text.lightnessF() ? Appearance::dark : Appearance::light;
    return Theme(appearance, text, window);
}

Theme Theme::light() {
    return Theme(Appearance::light, QColor(0, 0, 0), QColor(0xf2, 0xf2, 0xf2));
}

Theme Theme::dark() {
    return Theme(Appearance::dark, QColor(0xff, 0xff, 0xff), QColor(0x24, 0x24, 0x26));
}

QColor Theme::color(ColorRole role) const {
    return colors_[static_cast<std::size_t>(role)];
}

QString Theme::semiboldFamily() {
    return figureFamily(false);
}

double Theme::pixelSize(TextStyle style) noexcept {
    switch (style) {
    case TextStyle::caption2:
        return 9.0;
    case TextStyle::title2:
        return 17.0;
    case TextStyle::title3:
        return 15.0;
    case TextStyle::callout:
        return 12.0;
    case TextStyle::caption:
        break;
    }
    return 10.0;
}

QFont Theme::font(const FontSpec& spec) const {
    return fonts_->entry(spec).font;
}

const QFontMetricsF& Theme::metrics(const FontSpec& spec) const {
    return fonts_->entry(spec).metrics;
}

double Theme::textWidth(const QString& text, const FontSpec& spec) const {
    const FontCache::Entry& entry = fonts_->entry(spec);
    if (const double* found = entry.widths.find(text)) {
        return *found;
    }
    const double width = entry.metrics.horizontalAdvance(text);
    entry.widths.insert(text, width);
    return width;
}

double Theme::ascent(const FontSpec& spec) const {
    return fonts_->entry(spec).ascent;
}

double Theme::descent(const FontSpec& spec) const {
    return fonts_->entry(spec).descent;
}

double Theme::lineHeight(const FontSpec& spec) const {
    return fonts_->entry(spec).lineHeight;
}

double Theme::wrappedHeight(const QString& text, const FontSpec& spec, double width) const {
    const QRectF bounds = metrics(spec).boundingRect(QRectF(0, 0, width, 1e6),
                                                     Qt::TextWordWrap | Qt::AlignLeft, text);
    return std::max(bounds.height(), lineHeight(spec));
}

std::vector<qsizetype> Theme::evenLineBreaks(const QString& text, const FontSpec& spec,
                                             double width) const {
    const FontCache::Entry& entry = fonts_->entry(spec);
    const std::pair<QString, double> key{text, width};
    if (const std::vector<qsizetype>* found = entry.breaks.find(key)) {
        return *found;
    }
    return entry.breaks.insert(key, trovimo::evenLineBreaks(text, entry.metrics, width));
}

} // namespace trovimo
