#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace trovimo::test {
namespace {
QString scratch;
}

QString scratchDirectory() {
    return scratch;
}

} // namespace trovimo::test

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        return 2;
    }
    trovimo::test::scratch = scratch.path();
    const auto point = [&](const char* variable, const char* sub) {
        const QString path = scratch.path() + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(path);
        setenv(variable, path.toLocal8Bit().constData(), 1);
    };
    point("HOME", "home");
    point("XDG_CONFIG_HOME", "config");
    point("XDG_DATA_HOME", "data");
    point("XDG_CACHE_HOME", "cache");
    point("XDG_STATE_HOME", "state");
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
