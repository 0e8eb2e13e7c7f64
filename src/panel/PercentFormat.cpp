#include "panel/PercentFormat.h"

#include "panel/AnimationKey.h"

#include <QLocale>

#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

#include <charconv>
#include <string_view>
#include <unordered_map>
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
    // The panel shows the same few hundred values again and again; formatting one costs
    // more than the rest of its layout.
    std::unordered_map<std::int64_t, std::string> texts;
};

CachedFormatter& formatterFor(int fractionDigits, const icu::Locale& locale) {
    static std::vector<CachedFormatter> cache;
    const std::string_view name = locale.getName();
    for (CachedFormatter& entry : cache) {
        if (entry.fractionDigits == fractionDigits && entry.localeName == name) {
            return entry;
        }
    }
    constexpr std::size_t capacity = 8;
    if (cache.size() >= capacity) {
        cache.erase(cache.begin());
    }
    // The key counts units of the last digit, so it is scaled down rather than multiplied by
    // 100 (which percent formatting of a fraction would do); the locale decides the sign's
    // place and spacing.
    cache.push_back({std::string(name),
                     fractionDigits,
                     number::NumberFormatter::withLocale(locale)
                         .unit(icu::NoUnit::percent())
                         .scale(number::Scale::powerOfTen(-fractionDigits))
                         .precision(number::Precision::fixedFraction(fractionDigits))
                         .grouping(UNUM_GROUPING_AUTO),
                     {}});
    return cache.back();
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

const icu::Locale& userNumberLocale() {
    // Comparing locales is cheap; naming one and parsing the name is not.
    thread_local QLocale known = QLocale::c();
    thread_local icu::Locale locale("en_US_POSIX");
    thread_local bool first = true;
    const QLocale current;
    if (first || current != known) {
        first = false;
        known = current;
        locale = icu::Locale(current.name().toLatin1().constData());
    }
    return locale;
}

std::string formatPercentKey(std::int64_t key, int fractionDigits, const icu::Locale& locale) {
    if (fractionDigits < 0 || fractionDigits > 6) {
        fractionDigits = 0;
    }
    CachedFormatter& cached = formatterFor(fractionDigits, locale);
    if (const auto known = cached.texts.find(key); known != cached.texts.end()) {
        return known->second;
    }
    UErrorCode status = U_ZERO_ERROR;
    const number::FormattedNumber formatted = cached.formatter.formatInt(key, status);
    icu::UnicodeString text = formatted.toString(status);
    if (U_FAILURE(status)) {
        return plainPercent(key, fractionDigits);
    }
    std::string utf8;
    text.toUTF8String(utf8);
    constexpr std::size_t textCapacity = 1024;
    if (cached.texts.size() >= textCapacity) {
        cached.texts.clear();
    }
    cached.texts.emplace(key, utf8);
    return utf8;
}

std::string percentText(double fraction, int fractionDigits) {
    return percentText(fraction, fractionDigits, userNumberLocale());
}

std::string percentText(double fraction, int fractionDigits, const icu::Locale& locale) {
    return formatPercentKey(percentKey(fraction, fractionDigits), fractionDigits, locale);
}

} // namespace trovimo
