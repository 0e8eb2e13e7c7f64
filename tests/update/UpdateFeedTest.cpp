#include "update/UpdateFeed.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QUrl>

namespace trovimo {
namespace {

TEST(UpdateFeed, DecodesAllMembersAndIgnoresUnknownOnes) {
    const QByteArray body = R"({"latestVersion":"2.0","minimumVersion":"1.5",
        "url":"https://www.tsukimi-labs.jp/trovimo/","notes":{"ja":"x"},"LatestVersion":7})";
    QString error;
    const auto info = decodeUpdateInfo(body, &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->latestVersion, QStringLiteral("2.0"));
    EXPECT_EQ(info->minimumVersion, QStringLiteral("1.5"));
    EXPECT_EQ(info->url, QUrl(QStringLiteral("https://www.tsukimi-labs.jp/trovimo/")));

    // A minimum absent or null is none.
    for (const QByteArray& body : {QByteArray(R"({"latestVersion":"1","url":"http://a.example/"})"),
                                   QByteArray(R"({"latestVersion":"1","minimumVersion":null,
                                                 "url":"http://a.example/"})")}) {
        const auto info = decodeUpdateInfo(body);
        ASSERT_TRUE(info) << body.toStdString();
        EXPECT_FALSE(info->minimumVersion.has_value());
    }
}

TEST(UpdateFeed, RejectsWithADescription) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"Empty", ""},
        {"NotJson", "<html>oops</html>"},
        {"Array", R"([{"latestVersion":"1","url":"https://a.example/"}])"},
        {"String", R"("1.0")"},
        {"EmptyObject", "{}"},
        {"NoUrl", R"({"latestVersion":"1"})"},
        {"NoLatest", R"({"url":"https://a.example/"})"},
        {"LatestNumber", R"({"latestVersion":1.2,"url":"https://a.example/"})"},
        {"LatestNull", R"({"latestVersion":null,"url":"https://a.example/"})"},
        {"MinimumNumber", R"({"latestVersion":"1","minimumVersion":1,"url":"https://a.example/"})"},
        {"UrlNumber", R"({"latestVersion":"1","url":5})"},
        {"UrlNotAUrl", R"({"latestVersion":"1","url":"http://exa mple/"})"},
        {"UrlRelative", R"({"latestVersion":"1","url":"/trovimo/"})"},
        {"UrlFile", R"({"latestVersion":"1","url":"file:///etc/passwd"})"},
        {"UrlJavascript", R"j({"latestVersion":"1","url":"javascript:alert(1)"})j"},
        {"UrlCustomScheme", R"({"latestVersion":"1","url":"steam://run/1"})"},
        {"KeysAreCaseSensitive", R"({"LatestVersion":"1","URL":"https://a.example/"})"},
    };
    for (const auto& [name, body] : cases) {
        QString error;
        EXPECT_FALSE(decodeUpdateInfo(body, &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
}

} // namespace
} // namespace trovimo
