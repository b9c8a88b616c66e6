#include "ui/MessageBox.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QTextBoundaryFinder>
#include <algorithm>
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

// A line cut to `width`: after the last "/" or blank that keeps two thirds of the line filled,
// else after the last character that fits.
QStringList wrapped(const QString& line, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    qsizetype lastBreak = -1; // just after the last "/" or blank of the line being filled
    qsizetype position = 0;
    int used = 0;
    for (qsizetype next = characters.toNextBoundary(); next != -1;
         next = characters.toNextBoundary()) {
        const int advance = metrics.horizontalAdvance(line.mid(position, next - position));
        if (used + advance > width && position > start) {
            const bool breakFits =
                lastBreak > start && (lastBreak - start) * 3 >= (position - start) * 2;
            const qsizetype cut = breakFits ? lastBreak : position;
            lines.append(line.mid(start, cut - start));
            start = cut;
            used = metrics.horizontalAdvance(line.mid(start, position - start));
            lastBreak = -1;
        }
        used += advance;
        if (line[position] == u'/' || line[position] == u' ')
            lastBreak = next;
        position = next;
    }
    lines.append(line.mid(start));
    return lines;
}

// A box never grows past the screen: a line wider than a box's text may be (a long path) is
// wrapped by the box's own rule, half the screen and at most 500 pixels wide, as QMessageBox
// would; one that takes more lines than the screen leaves room for, or more than seven, keeps
// its first and last lines with "…" between them.
void fitToScreen(QMessageBox& box, const QString& text) {
    const QScreen* screen =
        box.parentWidget() ? box.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    // Beside the text: the layout's margins, the icon and the spacing around it.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const int spacing =
        grid && grid->horizontalSpacing() > 0
            ? grid->horizontalSpacing()
            : box.style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, &box);
    int beside = grid ? grid->contentsMargins().left() + grid->contentsMargins().right() : 24;
    if (box.icon() != QMessageBox::NoIcon)
        beside += box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box) + 7 +
                  2 * spacing;
    else
        beside += 15 + spacing;
    const int width = std::max(100, std::min(room.width() / 2, 500) - beside - 8);

    const QFontMetrics metrics(box.font());
    const QStringList lines = text.split(u'\n');
    // Leave room for the title bar, the buttons and the margins.
    const int linesOnScreen = std::max(3, (room.height() - 160) / metrics.lineSpacing());
    qsizetype longLines = 0;
    for (const QString& line : lines)
        longLines += metrics.horizontalAdvance(line) > width;
    const int mostLinesEach = std::clamp(
        int((linesOnScreen - (lines.size() - longLines)) / std::max<qsizetype>(longLines, 1)), 3,
        7);

    QStringList shown;
    for (const QString& line : lines) {
        if (metrics.horizontalAdvance(line) <= width) {
            shown.append(line);
            continue;
        }
        QStringList pieces = wrapped(line, metrics, width);
        if (pieces.size() > mostLinesEach) {
            const int kept = (mostLinesEach - 1) / 2;
            pieces = pieces.mid(0, kept) + QStringList{QStringLiteral("…")} +
                     pieces.mid(pieces.size() - kept);
        }
        shown += pieces;
    }
    box.setText(shown.join(u'\n'));
}

QMessageBox* boxFor(QWidget* parent, const QString& text, const QString& title,
                    QMessageBox::Icon icon) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(title.isEmpty() ? QStringLiteral("Trovan") : title);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(icon);
    QString lines = text;
    fitToScreen(*box, lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
