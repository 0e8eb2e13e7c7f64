#include "remote/RemoteSource.h"

#include "core/SystemLog.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "readers/SystemReaders.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

const QByteArray body = "node_memory_MemTotal_bytes 8.192e+09\n"
                        "node_memory_MemAvailable_bytes 5.12e+09\n";

// The store's ticks through another machine's source, as the panel runs them: the machine's
// figures with the panel's own load, nothing of the GPU; while the machine is gone only the
// own load, and the state says so.
TEST(RemoteSource, AnswersEachTickWithTheMachinesFiguresAndThePanelsOwnLoad) {
    setSystemLogSink([](const QString&) {});
    test::LocalHttpServer server;
    server.route("/metrics", test::LocalHttpServer::json(body));
    SettingsStore settings(test::scratchDirectory() + QStringLiteral("/remote-source.conf"));
    settings.setBool(QLatin1String(shownKey(Block::self)), true);
    StatsStore store(settings, std::make_unique<RemoteSource>(
                                   RemoteMachine{QStringLiteral("NAS"),
                                                 server.url(QStringLiteral("/metrics")).toString(),
                                                 {}},
                                   makePanelSamplers()));
    EXPECT_EQ(store.snapshot()->sourceState, SourceState::connecting);
    EXPECT_EQ(store.snapshot()->sourceName, QStringLiteral("NAS"));
    const auto tick = [&] {
        store.tick();
        store.awaitFigures(20s, true);
        return store.snapshot();
    };
    auto shown = tick();
    EXPECT_EQ(shown->sourceState, SourceState::fresh);
    ASSERT_TRUE(shown->memory);
    EXPECT_EQ(shown->memory->total, 8'192'000'000u);
    EXPECT_FALSE(shown->gpu);

    server.setListening(false);
    shown = tick();
    EXPECT_EQ(shown->sourceState, SourceState::unreachable);
    EXPECT_FALSE(shown->memory) << "no figure stands for a machine that is gone";
    EXPECT_TRUE(shown->selfStats) << "the panel's own load is this machine's, read at each tick";

    server.setListening(true);
    shown = tick();
    EXPECT_EQ(shown->sourceState, SourceState::fresh);
    EXPECT_TRUE(shown->memory);
    setSystemLogSink({});
}

} // namespace
} // namespace trovimo
