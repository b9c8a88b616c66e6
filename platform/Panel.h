#pragma once

// A plain container (a picture box used as a panel): it draws only its background; its
// children are placed relative to it and are shown and hidden with it. Geometry in twips.

#include <QColor>
#include <QWidget>

class Panel : public QWidget {
    Q_OBJECT
public:
    explicit Panel(QWidget* container);

    void Move(int leftTwips, int topTwips);
    int Width() const;
    void setWidth(int widthTwips);
    bool Visible() const { return !isHidden(); }
    void setVisible(bool visible) override { QWidget::setVisible(visible); }
    QColor BackColor() const;
    void setBackColor(const QColor& color);
};
