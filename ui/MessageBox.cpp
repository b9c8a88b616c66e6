#include "ui/MessageBox.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <memory>

namespace {

// A window manager draws the title in a font of its own, often larger, beside its buttons:
// leave room for both so that the title is never cut to "...".
void makeRoomForTitle(QMessageBox& box) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    // The program's fonts are sized in pixels: a point size would be -1 here.
    if (titleFont.pixelSize() > 0)
        titleFont.setPixelSize(int(titleFont.pixelSize() * 1.25 + 0.5));
    else
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle());
    const int wanted = titleWidth + 140;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox* boxFor(QWidget* parent, const QString& text, const QString& title,
                    QMessageBox::Icon icon) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(title.isEmpty() ? QStringLiteral("Trovan") : title);
    box->setTextFormat(Qt::PlainText);
    QString shown = text;
    box->setText(shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box->setIcon(icon);
    makeRoomForTitle(*box);
    return box;
}

void showWithOk(QWidget* parent, const QString& text, const QString& title,
                QMessageBox::Icon icon) {
    std::unique_ptr<QMessageBox> box(boxFor(parent, text, title, icon));
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    box->exec();
}

} // namespace

namespace MessageBox {

void inform(QWidget* parent, const QString& text, const QString& title) {
    showWithOk(parent, text, title, QMessageBox::NoIcon);
}

void warn(QWidget* parent, const QString& text) {
    showWithOk(parent, text, {}, QMessageBox::Warning);
}

bool ask(QWidget* parent, const QString& text, const QString& title) {
    std::unique_ptr<QMessageBox> box(boxFor(parent, text, title, QMessageBox::Question));
    QPushButton* yes = box->addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("&Nej"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    box->exec();
    return box->clickedButton() == yes;
}

} // namespace MessageBox
