#include "ui/LineBreakMarks.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr char16_t CarriageReturnMark = 0x240D;
constexpr char16_t LineFeedMark = 0x240A;
constexpr int Padding = 2; // around a tag's letters
constexpr int Gap = 1;     // between a tag and the text beside it

bool isMark(QChar c) {
    return c == CarriageReturnMark || c == LineFeedMark;
}

QString lettersOf(QChar mark) {
    return mark == CarriageReturnMark ? QStringLiteral("CR") : QStringLiteral("LF");
}

// Bold capitals three quarters of the text's size: readable, yet inside the text's line.
QFont tagFont(const QFont& text) {
    QFont font = text;
    font.setBold(true);
    font.setPixelSize(std::max(6, int(std::lround(QFontInfo(text).pixelSize() * 0.75))));
    return font;
}

int tagAdvance(const QFont& text, QChar mark) {
    return QFontMetrics(tagFont(text)).horizontalAdvance(lettersOf(mark)) + 2 * Padding + 2 * Gap;
}

} // namespace

void LineBreakMarks::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    if (std::none_of(text.cbegin(), text.cend(), isMark)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    // The row without its text, as the style draws it (background, highlight, icon, focus);
    // then the text piece by piece, where the style would have put it.
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    area.adjust(margin, 0, -margin, 0);
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : item.state & QStyle::State_Active   ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const bool selected = item.state & QStyle::State_Selected;
    const QColor ink =
        item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor paper = item.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    const QFontMetrics metrics(item.font);
    const QFont small = tagFont(item.font);
    const int smallCapitals = QFontMetrics(small).capHeight();
    // The tag's middle at the middle of the text's capitals.
    const int baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
    const double middle = baseline - metrics.capHeight() / 2.0;

    painter->save();
    painter->setClipRect(area);
    painter->setRenderHint(QPainter::Antialiasing);
    int x = area.left();
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isMark(text[i]))
            continue;
        const QString piece = text.mid(from, i - from);
        const int width = metrics.horizontalAdvance(piece);
        painter->setFont(item.font);
        painter->setPen(ink);
        painter->drawText(QRect(x, area.top(), width + 1, area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, piece);
        x += width;
        if (i == text.size())
            break;
        const int advance = tagAdvance(item.font, text[i]);
        const double height = smallCapitals + 2 * Padding;
        const QRectF tag(x + Gap, middle - height / 2, advance - 2 * Gap, height);
        painter->setPen(Qt::NoPen);
        painter->setBrush(ink);
        painter->drawRoundedRect(tag, 2, 2);
        painter->setFont(small);
        painter->setPen(paper);
        painter->drawText(tag, Qt::AlignCenter, lettersOf(text[i]));
        x += advance;
        from = i + 1;
    }
    painter->restore();
}

QSize LineBreakMarks::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (std::none_of(text.cbegin(), text.cend(), isMark))
        return size;
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QFontMetrics metrics(item.font);
    for (const QChar c : text)
        if (isMark(c))
            size.rwidth() += tagAdvance(item.font, c) - metrics.horizontalAdvance(c);
    return size;
}
