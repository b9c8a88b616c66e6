#pragma once

// A label: a Caption drawn in its own font, optionally on a BackColor of its own. A new caption
// is the label's at once and is repainted a moment later, once for many changes, so that a
// counter that changes for every found entry costs next to nothing.

#include <QColor>
#include <QWidget>

class Label : public QWidget {
    Q_OBJECT
public:
    explicit Label(QWidget* container);

    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor& color);
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    QColor m_backColor; // invalid: transparent, the container shows through
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    bool m_repaintPending = false;
};
