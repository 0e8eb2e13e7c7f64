#include "update/UpdateStore.h"

#include "core/AppInfo.h"
#include "core/SystemLog.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "support/LocalHttpServer.h"
#include "support/ManualWakeTimer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <vector>

namespace trovimo {
namespace {

using test::LocalHttpServer;
using namespace std::chrono_literals;

using Waits = std::vector<std::chrono::nanoseconds>;

const QByteArray optionalFeed =
    R"({"latestVersion":"2.0","url":"https://www.tsukimi-labs.jp/trovimo/"})";
const QByteArray staggeredFeed =
    R"({"latestVersion":"2.0","minimumVersion":"1.5","url":"https://www.tsukimi-labs.jp/trovimo/"})";

class UpdateStoreTest : public ::testing::Test {
protected:
    UpdateStoreTest() : settings_(test::scratchDirectory() + QStringLiteral("/update-store.conf")) {
        setSystemLogSink([this](const QString& line) { log_.append(line); });
        setFeedPath("/feed.json");
        server_.route("/204", LocalHttpServer::json("", 204));
    }
    ~UpdateStoreTest() override {
        setSystemLogSink({});
        QFile::remove(settings_.filePath());
    }

    void setFeedPath(const QString& path) {
        settings_.setString(QLatin1String(keys::updateFeedURL), server_.url(path).toString());
    }

    std::unique_ptr<UpdateStore> makeStore(const QString& currentVersion = QStringLiteral("1.0"),
                                           std::chrono::milliseconds timeout = 15s,
                                           bool enabled = true) {
        UpdateStore::Options options;
        options.settings = &settings_;
        auto timer = std::make_unique<test::ManualWakeTimer>();
        timer_ = timer.get();
        options.timer = std::move(timer);
        options.transferTimeout = timeout;
        options.currentVersion = currentVersion;
        options.enabled = enabled;
        options.fetchProgram = fetchProgram_;
        return std::make_unique<UpdateStore>(std::move(options));
    }

    // Starts polling (or ends the current wait) and returns whether the poll succeeded.
    static bool awaitPoll(UpdateStore& store, const std::function<void()>& trigger) {
        QSignalSpy finished(&store, &UpdateStore::pollFinished);
        trigger();
        if (finished.isEmpty() && !finished.wait(10000)) {
            ADD_FAILURE() << "the poll never finished";
            return false;
        }
        return finished.takeFirst().at(0).toBool();
    }
    bool firstPoll(UpdateStore& store) {
        return awaitPoll(store, [&] { store.startPolling(); });
    }
    bool nextPoll(UpdateStore& store) {
        return awaitPoll(store, [this] { timer_->fire(); });
    }

    QString fetchProgram_ = QStringLiteral(TROVIMO_FEED_FETCH);
    SettingsStore settings_;
    LocalHttpServer server_;
    QStringList log_;
    // The waits the last store made asked for; the test decides when a wait is over.
    test::ManualWakeTimer* timer_ = nullptr;
};

TEST_F(UpdateStoreTest, DecisionFollowsMinimumThenLatest) {
    UpdateInfo staggered{QStringLiteral("2.0"), QStringLiteral("1.5"),
                         QUrl(QStringLiteral("https://a.example/"))};
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("1.4"), staggered),
              UpdateStatus::required(staggered));
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("1.5"), staggered),
              UpdateStatus::optional(staggered));
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("2.0"), staggered), UpdateStatus::upToDate());

    UpdateInfo sameVersion{QStringLiteral("1.2.0"), std::nullopt, staggered.url};
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("1.2"), sameVersion), UpdateStatus::upToDate());

    // A minimum above the latest version still makes the update required, but only to a
    // version newer than the running one.
    UpdateInfo inverted{QStringLiteral("1.0"), QStringLiteral("3.0"), staggered.url};
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("0.9"), inverted),
              UpdateStatus::required(inverted));
    EXPECT_EQ(UpdateStore::decide(QStringLiteral("2.0"), inverted), UpdateStatus::upToDate());
}

// Each poll asks afresh where the feed is, and past every cache.
TEST_F(UpdateStoreTest, EachPollReadsTheLocationAndBypassesCaches) {
    server_.route("/feed.json", LocalHttpServer::json(optionalFeed));
    server_.route("/other.json", LocalHttpServer::json(optionalFeed));
    auto store = makeStore();
    ASSERT_TRUE(firstPoll(*store));
    setFeedPath("/other.json");
    ASSERT_TRUE(nextPoll(*store));
    ASSERT_EQ(server_.requests().size(), 2);
    EXPECT_EQ(server_.requests().at(0).path, "/feed.json");
    EXPECT_EQ(server_.requests().at(1).path, "/other.json");
    for (const auto& request : server_.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.headers.value("cache-control"), "no-cache");
    }
}

// Each kind reached through the store, and a signal only when the status really changed.
TEST_F(UpdateStoreTest, StatusNotifiesOnlyOnRealChanges) {
    server_.route("/feed.json", LocalHttpServer::json(optionalFeed));
    auto store = makeStore(QStringLiteral("2.0"));
    QSignalSpy changes(store.get(), &UpdateStore::statusChanged);

    ASSERT_TRUE(firstPoll(*store)); // up to date at the first poll: nothing changed
    EXPECT_EQ(changes.count(), 0);

    auto older = makeStore(QStringLiteral("1.0"));
    QSignalSpy olderChanges(older.get(), &UpdateStore::statusChanged);
    ASSERT_TRUE(firstPoll(*older));
    ASSERT_EQ(olderChanges.count(), 1);
    EXPECT_EQ(olderChanges.at(0).at(0).value<UpdateStatus>().kind(), UpdateStatus::Kind::optional);
    ASSERT_TRUE(nextPoll(*older)); // the same document again
    EXPECT_EQ(olderChanges.count(), 1);

    // A feed that now names a minimum is a different payload even with the same kind.
    server_.route("/feed.json", LocalHttpServer::json(staggeredFeed));
    ASSERT_TRUE(nextPoll(*older));
    ASSERT_EQ(olderChanges.count(), 2);
    EXPECT_EQ(older->status().kind(), UpdateStatus::Kind::required);

    // A later feed turns required back into up to date.
    server_.route("/feed.json", LocalHttpServer::json(R"({"latestVersion":"1.0",
        "url":"https://www.tsukimi-labs.jp/trovimo/"})"));
    ASSERT_TRUE(nextPoll(*older));
    EXPECT_EQ(olderChanges.count(), 3);
    EXPECT_TRUE(older->status().isUpToDate());
}

// Every failure: one log line, the status as it was (payload included), retry in an hour; it
// is not retried sooner, and the next good feed is taken up again.
TEST_F(UpdateStoreTest, EachFailureLogsOnceKeepsTheStatusAndRetriesInAnHour) {
    QByteArray padded = optionalFeed; // valid JSON, but padded far beyond any real feed
    padded.insert(1, R"("padding":")" + QByteArray(200 * 1024, 'x') + "\",");
    LocalHttpServer::Response endless;
    endless.endlessChunk = QByteArray(16 * 1024, ' ');
    // A byte every few milliseconds: the transfer never pauses long enough for the transfer
    // time-out, the overall deadline ends it.
    LocalHttpServer::Response trickling;
    trickling.endlessChunk = " ";
    const std::tuple<const char*, LocalHttpServer::Response, const char*> cases[] = {
        {"no content", LocalHttpServer::json("", 204), "HTTP status 204"},
        {"server error", LocalHttpServer::json(optionalFeed, 500), "HTTP status 500"},
        {"accepted", LocalHttpServer::json(optionalFeed, 202), "HTTP status 202"},
        {"not JSON", LocalHttpServer::json("<html>maintenance</html>"), "not valid JSON"},
        {"empty object", LocalHttpServer::json("{}"), "no member \"latestVersion\""},
        {"wrong types", LocalHttpServer::json(R"({"latestVersion":2,"url":true})"),
         "\"latestVersion\" is not a string"},
        {"file URL", LocalHttpServer::json(R"({"latestVersion":"9","url":"file:///etc/passwd"})"),
         "http(s)"},
        {"oversized", LocalHttpServer::json(padded), "larger than 65536 bytes"},
        {"endless", endless, "larger than 65536 bytes"},
        {"silent", LocalHttpServer::noAnswer(), "timed out"},
        {"trickling", trickling, "no complete response within"},
        {"redirect to no content", LocalHttpServer::redirect("/204"), "HTTP status 204"},
        {"redirect to a file", LocalHttpServer::redirect("file:///etc/passwd"), "HTTP status 302"},
    };
    for (const auto& [name, response, reason] : cases) {
        SCOPED_TRACE(name);
        log_.clear();
        server_.route("/feed.json", LocalHttpServer::json(staggeredFeed));
        auto store = makeStore(QStringLiteral("1.6"), 500ms);
        ASSERT_TRUE(firstPoll(*store));
        const UpdateStatus before = store->status();
        ASSERT_EQ(before.kind(), UpdateStatus::Kind::optional);

        QSignalSpy changes(store.get(), &UpdateStore::statusChanged);
        server_.route("/feed.json", response);
        EXPECT_FALSE(nextPoll(*store));
        EXPECT_EQ(store->status(), before);
        EXPECT_EQ(changes.count(), 0);
        ASSERT_EQ(log_.size(), 1);
        EXPECT_TRUE(
            log_.front().startsWith(QStringLiteral("UpdateStore: バージョン情報の取得に失敗: ")))
            << log_.front().toStdString();
        EXPECT_TRUE(log_.front().contains(QString::fromUtf8(reason))) << log_.front().toStdString();
        EXPECT_EQ(timer_->armed, (Waits{24h, 1h}));

        server_.route("/feed.json", LocalHttpServer::json(optionalFeed));
        EXPECT_TRUE(nextPoll(*store));
        EXPECT_EQ(log_.size(), 1);
        EXPECT_EQ(timer_->armed.back(), 24h);
    }
}

// The helper is ours, but the store must survive one that is missing or misbehaves: each
// case is one failed poll with a log line, and the next poll an hour later.
TEST_F(UpdateStoreTest, AMissingOrMisbehavingHelperIsAFailedPoll) {
    const auto script = [](const char* name, const QByteArray& body) {
        const QString path = test::scratchDirectory() + QLatin1Char('/') + QLatin1String(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };
    const std::tuple<QString, std::chrono::milliseconds, const char*> cases[] = {
        {test::scratchDirectory() + QStringLiteral("/no-such-helper"), 15s, "could not be started"},
        {script("silent-failure", "exit 1"), 15s, "gave no reason"},
        {script("unknown-status", "exit 7"), 15s, "exit status 7"},
        {script("crash", "kill -SEGV $$"), 15s, "ended abnormally"},
        {script("endless", "exec yes"), 15s, "larger than 65536 bytes"},
        // 4 x 100 ms of the helper's own limit plus the grace: the store ends it.
        {script("hang", "exec sleep 60"), 100ms, "no complete response within 0.4 seconds"},
        {script("first-line", "printf 'refused\\nsecond line\\n'; exit 1"), 15s,
         "取得に失敗: refused"},
    };
    for (const auto& [program, timeout, logged] : cases) {
        SCOPED_TRACE(program.toStdString());
        log_.clear();
        fetchProgram_ = program;
        auto store = makeStore(QStringLiteral("1.0"), timeout);
        EXPECT_FALSE(firstPoll(*store));
        ASSERT_EQ(log_.size(), 1);
        EXPECT_TRUE(log_.front().contains(QString::fromUtf8(logged))) << log_.front().toStdString();
        EXPECT_FALSE(log_.front().contains(QLatin1String("second line")));
        EXPECT_EQ(timer_->armed, Waits{1h});
        EXPECT_EQ(store->status().kind(), UpdateStatus::Kind::upToDate);
    }
}

TEST_F(UpdateStoreTest, OnlyTheWebIsAskedForTheFeed) {
    settings_.setString(QLatin1String(keys::updateFeedURL), QStringLiteral("file:///etc/hostname"));
    auto store = makeStore();
    EXPECT_FALSE(firstPoll(*store));
    ASSERT_EQ(log_.size(), 1);
    EXPECT_TRUE(log_.front().contains(QLatin1String("must use http or https")));
}

TEST_F(UpdateStoreTest, DestroyingTheStoreMidPollEndsTheHelper) {
    server_.route("/feed.json", LocalHttpServer::noAnswer());
    auto store = makeStore();
    QSignalSpy finished(store.get(), &UpdateStore::pollFinished);
    store->startPolling();
    EXPECT_TRUE(QTest::qWaitFor([this] { return server_.requests().size() == 1; }, 10000));
    store.reset();
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(log_.isEmpty());
}

TEST_F(UpdateStoreTest, FollowsARedirectToA200) {
    server_.route("/feed.json", LocalHttpServer::redirect("/moved.json"));
    server_.route("/moved.json", LocalHttpServer::json(optionalFeed));
    auto store = makeStore();
    EXPECT_TRUE(firstPoll(*store));
    EXPECT_EQ(store->status().kind(), UpdateStatus::Kind::optional);
    // The feed, then where it moved. Qt may send a request again on a fresh connection when
    // the server closed the old one, so the first and last are compared, not the number.
    ASSERT_FALSE(server_.requests().isEmpty());
    EXPECT_EQ(server_.requests().front().path, "/feed.json");
    EXPECT_EQ(server_.requests().back().path, "/moved.json");
}

TEST_F(UpdateStoreTest, StartingTwiceMakesOneLoopAndOneRequest) {
    server_.route("/feed.json", LocalHttpServer::json(optionalFeed));
    auto store = makeStore();
    EXPECT_TRUE(awaitPoll(*store, [&] {
        store->startPolling();
        store->startPolling();
    }));
    store->startPolling();
    QSignalSpy finished(store.get(), &UpdateStore::pollFinished);
    EXPECT_FALSE(finished.wait(300));
    EXPECT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(timer_->armed.size(), 1u);
    EXPECT_TRUE(store->isPolling());
}

TEST_F(UpdateStoreTest, WithoutTheUpdateCheckNothingIsEverRequested) {
    server_.route("/feed.json", LocalHttpServer::json(optionalFeed));
    auto store = makeStore(QStringLiteral("1.0"), 15s, false);
    QSignalSpy finished(store.get(), &UpdateStore::pollFinished);
    store->startPolling();
    EXPECT_FALSE(finished.wait(300));
    EXPECT_FALSE(store->isPolling());
    EXPECT_TRUE(server_.requests().isEmpty());
    EXPECT_TRUE(timer_->armed.empty());
}

TEST_F(UpdateStoreTest, UnusableOverrideFallsBackToTheMakersFeed) {
    auto store = makeStore();
    const QString key = QLatin1String(keys::updateFeedURL);
    for (const QString& value :
         {QStringLiteral("not a url"), QStringLiteral(""), QStringLiteral("/relative/feed.json"),
          QStringLiteral("http://exa mple/")}) {
        settings_.setString(key, value);
        EXPECT_EQ(store->feedUrl(), app::defaultFeedUrl()) << value.toStdString();
    }
    settings_.remove(key);
    EXPECT_EQ(store->feedUrl(), app::defaultFeedUrl());
}

} // namespace
} // namespace trovimo
