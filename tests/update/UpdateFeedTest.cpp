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
}

TEST(UpdateFeed, MinimumVersionAbsentOrNullIsNone) {
    for (const QByteArray& body : {QByteArray(R"({"latestVersion":"1","url":"http://a.example/"})"),
                                   QByteArray(R"({"latestVersion":"1","minimumVersion":null,
                                                 "url":"http://a.example/"})")}) {
        const auto info = decodeUpdateInfo(body);
        ASSERT_TRUE(info) << body.toStdString();
        EXPECT_FALSE(info->minimumVersion.has_value());
    }
}

struct RejectCase {
    const char* name;
    const char* body;
};

class UpdateFeedRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(UpdateFeedRejects, FailsWithADescription) {
    QString error;
    EXPECT_FALSE(decodeUpdateInfo(QByteArray(GetParam().body), &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateFeedRejects,
    ::testing::Values(
        RejectCase{"Empty", ""}, RejectCase{"NotJson", "<html>oops</html>"},
        RejectCase{"Truncated", R"({"latestVersion":"1","url":"https://a.example/")"},
        RejectCase{"Array", R"([{"latestVersion":"1","url":"https://a.example/"}])"},
        RejectCase{"String", R"("1.0")"}, RejectCase{"EmptyObject", "{}"},
        RejectCase{"NoUrl", R"({"latestVersion":"1"})"},
        RejectCase{"NoLatest", R"({"url":"https://a.example/"})"},
        RejectCase{"LatestNumber", R"({"latestVersion":1.2,"url":"https://a.example/"})"},
        RejectCase{"LatestNull", R"({"latestVersion":null,"url":"https://a.example/"})"},
        RejectCase{"MinimumNumber",
                   R"({"latestVersion":"1","minimumVersion":1,"url":"https://a.example/"})"},
        RejectCase{"MinimumObject",
                   R"({"latestVersion":"1","minimumVersion":{},"url":"https://a.example/"})"},
        RejectCase{"UrlNumber", R"({"latestVersion":"1","url":5})"},
        RejectCase{"UrlNotAUrl", R"({"latestVersion":"1","url":"http://exa mple/"})"},
        RejectCase{"UrlEmpty", R"({"latestVersion":"1","url":""})"},
        RejectCase{"UrlRelative", R"({"latestVersion":"1","url":"/trovimo/"})"},
        RejectCase{"UrlFile", R"({"latestVersion":"1","url":"file:///etc/passwd"})"},
        RejectCase{"UrlFileWithHost", R"({"latestVersion":"1","url":"file://host/x"})"},
        RejectCase{"UrlJavascript", R"j({"latestVersion":"1","url":"javascript:alert(1)"})j"},
        RejectCase{"UrlCustomScheme", R"({"latestVersion":"1","url":"steam://run/1"})"},
        RejectCase{"KeysAreCaseSensitive", R"({"LatestVersion":"1","URL":"https://a.example/"})"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace trovimo
