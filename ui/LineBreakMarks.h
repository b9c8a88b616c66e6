#pragma once

// Draws a list's rows as the style does, except that a line break's mark in a row's text (the
// "␍" and "␊" that LineBreaks puts for CR and LF) is drawn as a small filled tag reading "CR"
// or "LF" in the text's colour. The fonts Debian installs have no glyph for the two marks and
// draw them as the same empty box as any missing character, bytes 1 to 31 among them; the fonts
// that have one draw it a few pixels high. A row without a mark is drawn by the style alone.
//
// It changes no text: what a list holds, copies and drags keeps the marks as characters.

#include <QStyledItemDelegate>

class LineBreakMarks : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
