#include "app/CompanionAppLauncher.h"

#include "core/AppInfo.h"
#include "core/SystemLog.h"

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

#include <dlfcn.h>

#include <memory>
#include <type_traits>

namespace trovimo {
namespace {

constexpr int iconSize = 16;

// GIO is loaded when the launcher is first used, not when the panel starts: linked, it and
// what it brings (GObject's type system, libmount, libblkid, libselinux) cost every panel
// about 150 kB of memory, for a menu most sessions never open.
struct Gio {
    decltype(&g_desktop_app_info_new) desktopAppInfoNew;
    decltype(&g_desktop_app_info_new_from_filename) desktopAppInfoNewFromFilename;
    decltype(&g_desktop_app_info_get_filename) desktopAppInfoGetFilename;
    decltype(&g_app_info_get_icon) appInfoGetIcon;
    decltype(&g_app_info_launch) appInfoLaunch;
    decltype(&g_file_icon_get_type) fileIconGetType;
    decltype(&g_file_icon_get_file) fileIconGetFile;
    decltype(&g_file_get_path) fileGetPath;
    decltype(&g_themed_icon_get_type) themedIconGetType;
    decltype(&g_themed_icon_get_names) themedIconGetNames;
    decltype(&g_type_check_instance_is_a) typeCheckInstanceIsA;
    decltype(&g_object_unref) objectUnref;
    decltype(&g_error_free) errorFree;
    decltype(&g_free) free;

    [[nodiscard]] bool isA(gpointer instance, GType type) const {
        return instance != nullptr &&
               typeCheckInstanceIsA(static_cast<GTypeInstance*>(instance), type) != FALSE;
    }
};

std::unique_ptr<Gio> loadGio() {
    // Never closed: GObject types cannot be unregistered.
    void* library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        systemLog(logApp(), QStringLiteral("MyAppLauncher: GIO を読み込めません: %1")
                                .arg(QString::fromLocal8Bit(::dlerror())));
        return nullptr;
    }
    auto gio = std::make_unique<Gio>();
    bool complete = true;
    const auto bind = [&](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
        complete = complete && function != nullptr;
    };
    bind(gio->desktopAppInfoNew, "g_desktop_app_info_new");
    bind(gio->desktopAppInfoNewFromFilename, "g_desktop_app_info_new_from_filename");
    bind(gio->desktopAppInfoGetFilename, "g_desktop_app_info_get_filename");
    bind(gio->appInfoGetIcon, "g_app_info_get_icon");
    bind(gio->appInfoLaunch, "g_app_info_launch");
    bind(gio->fileIconGetType, "g_file_icon_get_type");
    bind(gio->fileIconGetFile, "g_file_icon_get_file");
    bind(gio->fileGetPath, "g_file_get_path");
    bind(gio->themedIconGetType, "g_themed_icon_get_type");
    bind(gio->themedIconGetNames, "g_themed_icon_get_names");
    bind(gio->typeCheckInstanceIsA, "g_type_check_instance_is_a");
    bind(gio->objectUnref, "g_object_unref");
    bind(gio->errorFree, "g_error_free");
    bind(gio->free, "g_free");
    if (!complete) {
        systemLog(logApp(), QStringLiteral("MyAppLauncher: GIO に必要な関数がありません"));
        return nullptr;
    }
    return gio;
}

// Null when GIO cannot be used: every application then counts as not installed.
const Gio* gio() {
    static const std::unique_ptr<Gio> loaded = loadGio();
    return loaded.get();
}

struct GObjectUnref {
    void operator()(gpointer object) const noexcept { gio()->objectUnref(object); }
};
using DesktopAppInfoPtr = std::unique_ptr<GDesktopAppInfo, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const noexcept { gio()->errorFree(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
    void operator()(gpointer memory) const noexcept { gio()->free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

CompanionApp makeApp(const char* name, const char* summary, const char* id, const char* folder) {
    return CompanionApp{QString::fromUtf8(name),
                        QCoreApplication::translate("MyAppLauncher", summary),
                        QStringLiteral("jp.tsukimilabs.") + QString::fromUtf8(id),
                        app::makerUrl(QStringLiteral("/%1/").arg(QString::fromUtf8(folder)))};
}

QIcon iconFromGIcon(const Gio& gio, GIcon* icon) {
    if (gio.isA(icon, gio.fileIconGetType())) {
        const GCharPtr path(
            gio.fileGetPath(gio.fileIconGetFile(reinterpret_cast<GFileIcon*>(icon))));
        if (path) {
            return QIcon(QString::fromLocal8Bit(path.get()));
        }
    } else if (gio.isA(icon, gio.themedIconGetType())) {
        const gchar* const* names = gio.themedIconGetNames(reinterpret_cast<GThemedIcon*>(icon));
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
QIcon menuIcon(const Gio& gio, GDesktopAppInfo* info) {
    QIcon icon = iconFromGIcon(gio, gio.appInfoGetIcon(reinterpret_cast<GAppInfo*>(info)));
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

CompanionAppLauncher::Entry resolve(const CompanionApp& app) {
    CompanionAppLauncher::Entry entry{app, std::nullopt, std::nullopt};
    const Gio* gio = trovimo::gio();
    if (gio == nullptr) {
        return entry;
    }
    const QByteArray desktopId = (app.bundleID + QStringLiteral(".desktop")).toUtf8();
    const DesktopAppInfoPtr info(gio->desktopAppInfoNew(desktopId.constData()));
    if (!info) {
        return entry;
    }
    const char* filename = gio->desktopAppInfoGetFilename(info.get());
    if (!filename) {
        return entry;
    }
    entry.appURL = QUrl::fromLocalFile(QString::fromLocal8Bit(filename));
    entry.icon = menuIcon(*gio, info.get());
    return entry;
}

// The launcher's log lines (and its translation context) keep the name they were first
// published under: it is what users search their journal for.
void logLaunchFailure(const CompanionApp& app, const QString& description) {
    systemLog(logApp(),
              QStringLiteral("MyAppLauncher: %1 の起動に失敗: %2").arg(app.name, description));
}

} // namespace

const std::vector<CompanionApp>& CompanionAppLauncher::apps() {
    static const std::vector<CompanionApp> list{
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

std::vector<CompanionAppLauncher::Entry> CompanionAppLauncher::lookUpEntries() {
    std::vector<Entry> list;
    list.reserve(apps().size());
    for (const CompanionApp& app : apps()) {
        list.push_back(resolve(app));
    }
    return list;
}

const std::vector<CompanionAppLauncher::Entry>& CompanionAppLauncher::entries() {
    // A function-local static: built exactly once even if two callers race.
    static const std::vector<Entry> list = lookUpEntries();
    return list;
}

void CompanionAppLauncher::open(const Entry& entry) {
    const Gio* gio = trovimo::gio();
    if (entry.appURL && gio == nullptr) {
        logLaunchFailure(entry.app, QStringLiteral("GIO is not available"));
        return;
    }
    if (entry.appURL) {
        const QByteArray path = QFile::encodeName(entry.appURL->toLocalFile());
        const DesktopAppInfoPtr info(gio->desktopAppInfoNewFromFilename(path.constData()));
        if (!info) {
            logLaunchFailure(entry.app, QStringLiteral("%1 is missing or no longer launchable")
                                            .arg(entry.appURL->toLocalFile()));
            return;
        }
        GError* rawError = nullptr;
        if (!gio->appInfoLaunch(reinterpret_cast<GAppInfo*>(info.get()), nullptr, nullptr,
                                &rawError)) {
            const GErrorPtr error(rawError);
            logLaunchFailure(entry.app, error ? QString::fromUtf8(error->message)
                                              : QStringLiteral("unknown error"));
        }
        return;
    }
    if (!QDesktopServices::openUrl(entry.app.pageURL)) {
        systemLog(logApp(), QStringLiteral("MyAppLauncher: %1 のページを開けませんでした")
                                .arg(entry.app.pageURL.toString()));
    }
}

} // namespace trovimo
