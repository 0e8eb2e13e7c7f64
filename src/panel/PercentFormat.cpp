#include "panel/PercentFormat.h"

#include "panel/AnimationKey.h"

#include <QLocale>

#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

namespace trovimo {
namespace {

namespace number = icu::number;

// Building a formatter parses locale data, far too slow for every paint; the panel uses two
// digit counts in one locale, so a handful of entries covers it.
struct CachedFormatter {
    std::string localeName;
    int fractionDigits;
    number::LocalizedNumberFormatter formatter;
};

const number::LocalizedNumberFormatter& formatterFor(int fractionDigits,
                                                     const icu::Locale& locale) {
    static std::vector<CachedFormatter> cache;
    const std::string_view name = locale.getName();
    for (const CachedFormatter& entry : cache) {
        if (entry.fractionDigits == fractionDigits && entry.localeName == name) {
            return entry.formatter;
        }
    }
    constexpr std::size_t capacity = 8;
    if (cache.size() >= capacity) {
        cache.erase(cache.begin());
    }
    // The key counts units of the last digit, so it is scaled down rather than multiplied by
    // 100 (which percent formatting of a fraction would do); the locale decides the sign's
    // place and spacing.
    cache.push_back({std::string(name), fractionDigits,
                     number::NumberFormatter::withLocale(locale)
                         .unit(icu::NoUnit::percent())
                         .scale(number::Scale::powerOfTen(-fractionDigits))
                         .precision(number::Precision::fixedFraction(fractionDigits))
                         .grouping(UNUM_GROUPING_AUTO)});
    return cache.back().formatter;
}

// Without usable locale data the text still has to say something sensible.
std::string plainPercent(std::int64_t key, int fractionDigits) {
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, key);
    std::string digits(buffer, error == std::errc{} ? end : buffer);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative) {
        digits.erase(0, 1);
    }
    if (fractionDigits > 0) {
        const auto width = static_cast<std::size_t>(fractionDigits) + 1;
        if (digits.size() < width) {
            digits.insert(0, width - digits.size(), '0');
        }
        digits.insert(digits.size() - static_cast<std::size_t>(fractionDigits), 1, '.');
    }
    return (negative ? "-" : "") + digits + "%";
}

} // namespace

icu::Locale userNumberLocale() {
    return icu::Locale(QLocale().name().toLatin1().constData());
}

std::string formatPercentKey(std::int64_t key, int fractionDigits, const icu::Locale& locale) {
    if (fractionDigits < 0 || fractionDigits > 6) {
        fractionDigits = 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    const number::FormattedNumber formatted =
        formatterFor(fractionDigits, locale).formatInt(key, status);
    icu::UnicodeString text = formatted.toString(status);
    if (U_FAILURE(status)) {
        return plainPercent(key, fractionDigits);
    }
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

std::string percentText(double fraction, int fractionDigits) {
    return percentText(fraction, fractionDigits, userNumberLocale());
}

std::string percentText(double fraction, int fractionDigits, const icu::Locale& locale) {
    return formatPercentKey(percentKey(fraction, fractionDigits), fractionDigits, locale);
}

} // namespace trovimo
