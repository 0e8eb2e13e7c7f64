#include "app/MyAppLauncher.h"

#include "model/AppInfo.h"
#include "model/SystemLog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>

// GLib's headers use `signals` as a member name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <memory>

namespace trovimo {
namespace {

constexpr int iconSize = 16;

struct GObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
using DesktopAppInfoPtr = std::unique_ptr<GDesktopAppInfo, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
    void operator()(gpointer memory) const noexcept { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

MyApp makeApp(const char* name, const char* summary, const char* id, const char* folder) {
    return MyApp{QString::fromUtf8(name), QCoreApplication::translate("MyAppLauncher", summary),
                 QStringLiteral("jp.tsukimilabs.") + QString::fromUtf8(id),
                 app::makerUrl(QStringLiteral("/%1/").arg(QString::fromUtf8(folder)))};
}

QIcon iconFromGIcon(GIcon* icon) {
    if (icon && G_IS_FILE_ICON(icon)) {
        const GCharPtr path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        if (path) {
            return QIcon(QString::fromLocal8Bit(path.get()));
        }
    } else if (icon && G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        for (; names && *names; ++names) {
            QIcon themed = QIcon::fromTheme(QString::fromUtf8(*names));
            if (!themed.isNull()) {
                return themed;
            }
        }
    }
    return {};
}

// The menu tells installed from missing applications by the icon, so an installed one
// always gets one: its own, else the theme's generic program icon, else an empty square.
QIcon menuIcon(GDesktopAppInfo* info) {
    QIcon icon = iconFromGIcon(g_app_info_get_icon(G_APP_INFO(info)));
    if (icon.isNull()) {
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    }
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap = icon.pixmap(QSize(iconSize, iconSize), ratio);
    if (pixmap.isNull()) {
        pixmap = QPixmap(QSize(iconSize, iconSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
    }
    return QIcon(pixmap);
}

MyAppLauncher::Entry resolve(const MyApp& app) {
    MyAppLauncher::Entry entry{app, std::nullopt, std::nullopt};
    const QByteArray desktopId = (app.bundleID + QStringLiteral(".desktop")).toUtf8();
    const DesktopAppInfoPtr info(g_desktop_app_info_new(desktopId.constData()));
    if (!info) {
        return entry;
    }
    const char* filename = g_desktop_app_info_get_filename(info.get());
    if (!filename) {
        return entry;
    }
    entry.appURL = QUrl::fromLocalFile(QString::fromLocal8Bit(filename));
    entry.icon = menuIcon(info.get());
    return entry;
}

void logLaunchFailure(const MyApp& app, const QString& description) {
    systemLog(QStringLiteral("MyAppLauncher: %1 の起動に失敗: %2").arg(app.name, description));
}

} // namespace

const std::vector<MyApp>& MyAppLauncher::apps() {
    static const std::vector<MyApp> list{
        makeApp("Hoshimi", QT_TRANSLATE_NOOP("MyAppLauncher", "パネルで天気と月齢をひと目で確認"),
                "Hoshimi", "hoshimi"),
        makeApp("Shiori",
                QT_TRANSLATE_NOOP("MyAppLauncher", "クリップボードの履歴をすばやく呼び出し"),
                "Shiori", "shiori"),
        makeApp("Komorebi",
                QT_TRANSLATE_NOOP("MyAppLauncher", "キー操作でウィンドウをきれいに整列"),
                "Komorebi", "komorebi"),
        makeApp("Tsuzuri", QT_TRANSLATE_NOOP("MyAppLauncher", "Markdown で書ける軽いメモ帳"),
                "Tsuzuri", "tsuzuri"),
    };
    return list;
}

std::vector<MyAppLauncher::Entry> MyAppLauncher::lookUpEntries() {
    std::vector<Entry> list;
    list.reserve(apps().size());
    for (const MyApp& app : apps()) {
        list.push_back(resolve(app));
    }
    return list;
}

const std::vector<MyAppLauncher::Entry>& MyAppLauncher::entries() {
    // A function-local static: built exactly once even if two callers race.
    static const std::vector<Entry> list = lookUpEntries();
    return list;
}

void MyAppLauncher::open(const Entry& entry) {
    if (entry.appURL) {
        const QByteArray path = QFile::encodeName(entry.appURL->toLocalFile());
        const DesktopAppInfoPtr info(g_desktop_app_info_new_from_filename(path.constData()));
        if (!info) {
            logLaunchFailure(entry.app, QStringLiteral("%1 is missing or no longer launchable")
                                            .arg(entry.appURL->toLocalFile()));
            return;
        }
        GError* rawError = nullptr;
        if (!g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &rawError)) {
            const GErrorPtr error(rawError);
            logLaunchFailure(entry.app, error ? QString::fromUtf8(error->message)
                                              : QStringLiteral("unknown error"));
        }
        return;
    }
    if (!QDesktopServices::openUrl(entry.app.pageURL)) {
        systemLog(QStringLiteral("MyAppLauncher: %1 のページを開けませんでした")
                      .arg(entry.app.pageURL.toString()));
    }
}

} // namespace trovimo
