#include "ui/AboutDialog.h"

#include "ui/Fonts.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QPushButton>

// The about window as designed, in twips.
namespace AboutLayout {

using Twips::Place;

constexpr int ClientWidth = 6360;
constexpr int ClientHeight = 2955;
constexpr Place OkButton{5520, 2520, 735, 375};
constexpr Place LowerBar{120, 2400, 6135, 60};
constexpr Place Version{5640, 1680, 615, 255};
constexpr Place UpperBar{120, 2040, 6135, 60};
constexpr Place Credit{120, 2160, 6015, 255};
constexpr Place Name{120, 1080, 6135, 1095};
constexpr Place Picture{120, 0, 6060, 1170};

} // namespace AboutLayout

using Twips::placed;

namespace {

QLabel* bar(QWidget* parent, const Twips::Place& place) {
    auto* label = placed<QLabel>(parent, place);
    label->setAutoFillBackground(true);
    QPalette colours = label->palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Highlight));
    label->setPalette(colours);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    createLayout();
}

QString AboutDialog::versionText() {
    return QStringLiteral("v%1.%2").arg(TROVAN_VERSION_MAJOR).arg(TROVAN_VERSION_MINOR);
}

void AboutDialog::createLayout() {
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips::toPixels(AboutLayout::ClientWidth),
                 Twips::toPixels(AboutLayout::ClientHeight));
    setWindowTitle(QStringLiteral("Om..."));
    setFont(Fonts::sansSerif(8.25));

    auto* picture = placed<QLabel>(this, AboutLayout::Picture);
    picture->setPixmap(QPixmap(QStringLiteral(":/trovan/about.gif")));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* name = placed<QLabel>(this, AboutLayout::Name);
    name->setText(QStringLiteral("Trovan"));
    name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    name->setFont(Fonts::arial(48));
    auto* credit = placed<QLabel>(this, AboutLayout::Credit);
    credit->setText(QStringLiteral("Copyright © 2003 Trovan"));
    credit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QLabel* upperBar = bar(this, AboutLayout::UpperBar);
    auto* version = placed<QLabel>(this, AboutLayout::Version);
    version->setObjectName(QStringLiteral("version"));
    version->setText(versionText());
    QLabel* lowerBar = bar(this, AboutLayout::LowerBar);
    auto* ok = placed<QPushButton>(this, AboutLayout::OkButton);
    ok->setText(QStringLiteral("&OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // Labels never take a click; the name lies over the picture's foot, the version over the
    // name, and the button over everything.
    for (QLabel* label : {picture, name, credit, upperBar, version, lowerBar}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->raise();
    }
    ok->raise();
    ok->setFocus();
}
