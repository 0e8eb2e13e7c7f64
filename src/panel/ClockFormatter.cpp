#include "panel/ClockFormatter.h"

#include "core/SystemLog.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace trovimo {
namespace {

icu::UnicodeString bestPattern(icu::DateTimePatternGenerator* generator, const char* skeleton) {
    icu::UnicodeString pattern = icu::UnicodeString::fromUTF8(skeleton);
    if (generator != nullptr) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString best = generator->getBestPattern(pattern, status);
        if (U_SUCCESS(status)) {
            pattern = best;
        }
    }
    return pattern;
}

QString formatWith(icu::SimpleDateFormat* format, const icu::UnicodeString& pattern,
                   std::chrono::system_clock::time_point when) {
    if (format == nullptr) {
        return QString();
    }
    format->applyPattern(pattern);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    icu::UnicodeString text;
    format->format(static_cast<UDate>(millis), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

ClockFormatter::ClockFormatter(const icu::Locale& locale, const icu::TimeZone* zone) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        systemLog(logWindow(),
                  QStringLiteral("ClockFormatter: ロケール %1 の日付パターンを作れません: %2")
                      .arg(QString::fromLatin1(locale.getName()),
                           QString::fromLatin1(u_errorName(status))));
        generator.reset();
    }
    datePattern_ = bestPattern(generator.get(), "MMMdEEE");
    dateWithYearPattern_ = bestPattern(generator.get(), "yMMMdEEE");
    // "j" is the locale's preferred hour: h with an AM/PM marker, or H.
    timePattern_ = bestPattern(generator.get(), "jmm");
    // One formatter takes each pattern in turn: each would keep its own calendar, symbols
    // and number formats, and the texts are formatted once a minute.
    status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(timePattern_, locale, status);
    if (U_SUCCESS(status)) {
        if (zone != nullptr) {
            format->setTimeZone(*zone);
        }
        format_ = std::move(format);
    }
}

ClockFormatter::~ClockFormatter() = default;

const ClockFormatter& ClockFormatter::shared() {
    static const ClockFormatter formatter;
    return formatter;
}

QString ClockFormatter::cached(MinuteText& cache, const icu::UnicodeString& pattern,
                               std::chrono::system_clock::time_point when) const {
    const std::int64_t minute =
        std::chrono::floor<std::chrono::minutes>(when.time_since_epoch()).count();
    if (minute != cache.minute) {
        cache.text = formatWith(format_.get(), pattern, when);
        cache.minute = minute;
    }
    return cache.text;
}

QString ClockFormatter::dateText(std::chrono::system_clock::time_point when, bool withYear) const {
    return withYear ? cached(dateWithYearText_, dateWithYearPattern_, when)
                    : cached(dateText_, datePattern_, when);
}

QString ClockFormatter::timeText(std::chrono::system_clock::time_point when) const {
    return cached(timeText_, timePattern_, when);
}

int ClockFormatter::secondOfMinute(std::chrono::system_clock::time_point when) const {
    // Every time zone in use today is offset by whole minutes, so the second of the minute
    // is the same on every calendar; floor division keeps times before 1970 right too.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(when.time_since_epoch()).count();
    const auto second = static_cast<int>(((seconds % 60) + 60) % 60);
    return second;
}

} // namespace trovimo
