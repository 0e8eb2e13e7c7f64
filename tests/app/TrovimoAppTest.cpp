#include "app/TrovimoApp.h"
#include "app/AboutView.h"
#include "app/SettingsView.h"
#include "core/SystemLog.h"
#include "model/DiskSampler.h"
#include "model/NetworkSampler.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/ContentView.h"
#include "support/LocalSources.h"
#include "support/TestSupport.h"
#include "update/UpdateStore.h"
#include "window/FrameAutosave.h"
#include "window/WindowConfigurator.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

namespace trovimo {
namespace {

template <typename Sample> class FixedSample final : public SampleSource<Sample> {
public:
    explicit FixedSample(Sample sample) : sample_(std::move(sample)) {}
    std::optional<Sample> read() override { return sample_; }

private:
    Sample sample_;
};

class TrovimoAppTest : public ::testing::Test {
protected:
    TrovimoAppTest()
        : settings(test::scratchDirectory() + QStringLiteral("/app/") +
                   QUuid::createUuid().toString(QUuid::WithoutBraces) +
                   QStringLiteral("/Trovimo.conf")) {
        setSystemLogSink([this](const QString& line) { logLines.append(line); });
        // Nothing listens on the discard port: each poll fails at once, without a network.
        settings.setString(QLatin1String(keys::updateFeedURL),
                           QStringLiteral("http://127.0.0.1:9/trovimo/version.json"));
    }
    ~TrovimoAppTest() override { setSystemLogSink({}); }

    std::unique_ptr<TrovimoApp> makeApp(std::function<std::unique_ptr<StatsSource>()> source = {}) {
        TrovimoApp::Options options;
        options.settings = &settings;
        options.source = source ? std::move(source) : [] { return test::localSource(); };
        options.updateStore = [this] {
            UpdateStore::Options updateOptions;
            updateOptions.settings = &settings;
            updateOptions.enabled = true;
            updateOptions.currentVersion = QStringLiteral("1.0");
            return std::make_unique<UpdateStore>(std::move(updateOptions));
        };
        return std::make_unique<TrovimoApp>(std::move(options));
    }

    SettingsStore settings;
    QStringList logLines;
};

TEST_F(TrovimoAppTest, NothingRunsUntilThePanelIsShown) {
    const auto app = makeApp();
    EXPECT_FALSE(app->stats().isStarted());
    EXPECT_FALSE(app->updates().isPolling());
    EXPECT_EQ(app->mainWindow(), nullptr);
}

TEST_F(TrovimoAppTest, AboutAndSettingsOpenOnceAndWithoutTheLoops) {
    const auto app = makeApp();
    AboutView& about = app->openAbout();
    EXPECT_EQ(&app->openAbout(), &about);
    EXPECT_TRUE(about.isVisible());

    SettingsView& settingsView = app->openSettings();
    EXPECT_EQ(&app->openSettings(), &settingsView);

    int topLevels = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        topLevels += widget->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(topLevels, 2);
    EXPECT_FALSE(app->stats().isStarted());
    EXPECT_FALSE(app->updates().isPolling());

    // Closed windows go away; asking again makes a fresh one.
    about.close();
    settingsView.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->aboutWindow(), nullptr);
    EXPECT_EQ(app->settingsWindow(), nullptr);
    EXPECT_NE(&app->openAbout(), nullptr);
    EXPECT_TRUE(app->aboutWindow()->isVisible());
}

TEST_F(TrovimoAppTest, ShowingThePanelStartsEachLoopOnce) {
    const auto app = makeApp();
    QSignalSpy polls(&app->updates(), &UpdateStore::pollFinished);
    app->showMainWindow();
    ContentView* panel = app->mainWindow();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(app->stats().isStarted());
    EXPECT_TRUE(app->updates().isPolling());
    ASSERT_TRUE(polls.wait(5000));

    panel->hide();
    app->showMainWindow();
    EXPECT_EQ(app->mainWindow(), panel);
    QTest::qWait(300);
    EXPECT_EQ(polls.count(), 1) << "showing the panel again fetched the feed again";
    EXPECT_EQ(logLines.size(), 1) << logLines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(TrovimoAppTest, FirstFrameIsAtItsFinalPlaceWithTheFigures) {
    const auto app = makeApp([] {
        MemoryStats memory;
        memory.used = 1;
        memory.total = 4;
        DiskUsage disk;
        disk.used = 1;
        disk.total = 2;
        NetworkInfo network;
        network.interfaceName = "eth9";
        network.displayName = "テスト回線";
        return test::localSource(
            readEveryTick(Block::memory, &Figures::memory,
                          std::make_unique<FixedSample<MemoryStats>>(memory)),
            std::make_unique<DiskSampler>(std::make_unique<FixedSample<DiskUsage>>(disk), nullptr),
            std::make_unique<NetworkSampler>(std::make_unique<FixedSample<NetworkInfo>>(network),
                                             nullptr));
    });
    app->showMainWindow();
    // Before any event is processed: where and what the window maps with. Top right of the
    // work area, settled 8 px inside both edges (snapping is on by default).
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const ContentView* panel = app->mainWindow();
    EXPECT_EQ(panel->frameGeometry().width(), PanelMetrics::width);
    EXPECT_EQ(panel->frameGeometry().topRight(), area.topRight() + QPoint(-8, 8));
    EXPECT_TRUE(app->stats().snapshot()->memory);
    // The volume is read off the GUI thread (a network home may hang): it lands a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->stats().snapshot()->disk.has_value(); }, 5000));
    const auto& elements = panel->currentLayout().elements;
    EXPECT_TRUE(std::any_of(elements.begin(), elements.end(), [](const PanelElement& element) {
        const auto* text = std::get_if<TextElement>(&element);
        return text != nullptr && text->text.contains(QStringLiteral("テスト回線"));
    }));
}

TEST_F(TrovimoAppTest, SavedPositionWins) {
    settings.setString(
        FrameAutosave::settingsKey(QLatin1String(WindowConfigurator::frameAutosaveName)),
        QStringLiteral("40 60 190 300"));
    const auto app = makeApp();
    app->showMainWindow();
    EXPECT_EQ(app->mainWindow()->frameGeometry().topLeft(), QPoint(40, 60));
}

// Another machine chosen in the menu: the store reads it from then on, with histories of its
// own, and this machine's panel shows it again at its next start; a machine no longer listed
// leaves this machine shown. A panel started for a machine (trovimo --machine) keeps its
// position under a name of its own.
TEST_F(TrovimoAppTest, ThePanelShowsTheMachineChosenAndKeepsTheChoice) {
    writeRemoteMachines(settings,
                        {{QStringLiteral("NAS"), QStringLiteral("http://127.0.0.1:9/m"), {}}});
    {
        const auto app = makeApp();
        EXPECT_EQ(app->stats().snapshot()->sourceState, SourceState::local);
        app->showMachine(QStringLiteral("NAS"));
        EXPECT_EQ(app->stats().snapshot()->sourceName, QStringLiteral("NAS"));
        EXPECT_NE(app->stats().snapshot()->sourceState, SourceState::local);
        EXPECT_TRUE(app->stats().snapshot()->cpuHistory.empty());
    }
    EXPECT_EQ(makeApp()->stats().snapshot()->sourceName, QStringLiteral("NAS"));
    makeApp()->showMachine({});
    EXPECT_EQ(makeApp()->stats().snapshot()->sourceState, SourceState::local);

    settings.setString(QLatin1String(TrovimoApp::shownMachineKey), QStringLiteral("Gone"));
    EXPECT_EQ(makeApp()->stats().snapshot()->sourceState, SourceState::local);

    TrovimoApp::Options options;
    options.settings = &settings;
    options.machine = QStringLiteral("NAS");
    options.updateStore = [this] {
        UpdateStore::Options updateOptions;
        updateOptions.settings = &settings;
        return std::make_unique<UpdateStore>(std::move(updateOptions));
    };
    settings.setString(FrameAutosave::settingsKey(QStringLiteral("TrovimoMachine-NAS")),
                       QStringLiteral("40 60 190 300"));
    TrovimoApp machine(std::move(options));
    machine.showMainWindow();
    EXPECT_EQ(machine.mainWindow()->windowTitle(), QStringLiteral("Trovimo — NAS"));
    EXPECT_EQ(machine.mainWindow()->frameGeometry().topLeft(), QPoint(40, 60));
    EXPECT_EQ(machine.stats().snapshot()->sourceName, QStringLiteral("NAS"));
}

} // namespace
} // namespace trovimo
