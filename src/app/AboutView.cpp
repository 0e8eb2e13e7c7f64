#include "app/AboutView.h"

#include "BuildInfo.h"
#include "app/TextStyles.h"
#include "core/AppInfo.h"

#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// Resources compiled into a static library stay out of the program unless asked for by name.
static void initialiseAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace trovimo {
namespace {

std::optional<QString> nonEmpty(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    return QString::fromUtf8(text);
}

QString orQuestionMark(const std::optional<QString>& text) {
    return text && !text->isEmpty() ? *text : QStringLiteral("?");
}

QLabel* label(const QString& text, const QFont& font, QWidget* parent) {
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    return result;
}

} // namespace

AboutView::Info AboutView::Info::fromBuild() {
    return Info{nonEmpty(build::version), nonEmpty(build::buildNumber), std::nullopt};
}

QString AboutView::versionLine(const Info& info) {
    return QStringLiteral("バージョン %1 (%2)")
        .arg(orQuestionMark(info.version), orQuestionMark(info.buildNumber));
}

QString AboutView::fallbackCopyright() {
    return QStringLiteral("Copyright © 2026 %1").arg(QLatin1String(app::makerName));
}

QString AboutView::copyrightText(const Info& info) {
    return info.copyright && !info.copyright->isEmpty() ? *info.copyright : fallbackCopyright();
}

QString AboutView::librariesNote() {
    return QStringLiteral("本アプリは次のオープンソースライブラリを使用して構築されています："
                          "Qt（LGPL-3.0）、ICU（Unicode ライセンス）、libnl（LGPL-2.1）、"
                          "GLib（LGPL-2.1 以降）。");
}

QString AboutView::productPageLabel() {
    return QLatin1String(app::makerHost) + QStringLiteral("/trovimo");
}

QIcon AboutView::builtInIcon() {
    initialiseAppResources();
    static const QIcon builtIn(QStringLiteral(":/trovimo/icon.svg"));
    return builtIn;
}

QIcon AboutView::applicationIcon() {
    return QIcon::fromTheme(QLatin1String(app::applicationId), builtInIcon());
}

AboutView::AboutView(QWidget* parent) : AboutView(Info::fromBuild(), parent) {}

AboutView::AboutView(const Info& info, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = applicationIcon().pixmap(QSize(64, 64), ratio);
    icon->setPixmap(pixmap);
    icon->setFixedSize(64, 64);
    header->addWidget(icon, 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(label(QStringLiteral("Trovimo"), textstyle::title(), this));
    auto* tagline = label(QStringLiteral("デスクトップ常駐の小型パフォーマンスモニター"),
                          textstyle::caption(), this);
    textstyle::makeSecondary(*tagline);
    titles->addWidget(tagline);
    auto* version = label(versionLine(info), textstyle::caption(), this);
    version->setObjectName(QStringLiteral("version"));
    textstyle::makeSecondary(*version);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    titles->addWidget(version);
    header->addLayout(titles, 1);
    column->addLayout(header);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    auto* description = label(QString(), textstyle::callout(), this);
    description->setWordWrap(true);
    column->addWidget(description);

    auto* licence = new QGroupBox(QStringLiteral("ライセンス"), this);
    auto* licenceLayout = new QVBoxLayout(licence);
    licenceLayout->setSpacing(4);
    const QMargins frame = licenceLayout->contentsMargins();
    licenceLayout->setContentsMargins(frame.left(), 2, frame.right(), 2);
    auto* copyright = label(QString(), textstyle::caption(), licence);
    copyright->setObjectName(QStringLiteral("copyright"));
    copyright->setWordWrap(true);
    licenceLayout->addWidget(copyright);
    auto* libraries = label(QString(), textstyle::caption(), licence);
    libraries->setObjectName(QStringLiteral("libraries"));
    libraries->setWordWrap(true);
    textstyle::makeSecondary(*libraries);
    licenceLayout->addWidget(libraries);
    column->addWidget(licence);

    auto* link = label(QStringLiteral("<a href=\"%1\">%2</a>")
                           .arg(app::productPageUrl().toString(QUrl::FullyEncoded),
                                productPageLabel().toHtmlEscaped()),
                       textstyle::caption(), this);
    link->setObjectName(QStringLiteral("productPage"));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    column->addWidget(link);

    setFixedWidth(columnWidth);
    column->activate();
    // Fixed text: it speaks of one second whatever interval the user chose.
    textstyle::setEvenlyWrappedText(
        *description,
        QStringLiteral("CPU（全体・コア別）、GPU、メモリ、ネットワーク、ディスクの状況を 1 "
                       "秒間隔で表示します。モニター自身がシステムの負荷にならないよう軽量な計測 "
                       "API のみを使い、ウィンドウが完全に隠れている間は計測を自動停止します。"));
    textstyle::setEvenlyWrappedText(*copyright, copyrightText(info));
    textstyle::setEvenlyWrappedText(*libraries, librariesNote());
    column->activate();
    setFixedHeight(column->hasHeightForWidth() ? column->totalHeightForWidth(columnWidth)
                                               : column->totalSizeHint().height());
}

} // namespace trovimo
