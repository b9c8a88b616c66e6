#pragma once

// An image control: shows its Picture at the picture's own size from the control's top-left
// corner, never stretched; what lies outside the control is cut off. Transparent parts of the
// picture let the container show through. It takes no focus and has no events.

#include <QPixmap>
#include <QWidget>

class Image : public QWidget {
    Q_OBJECT
public:
    explicit Image(QWidget* container);

    const QPixmap& Picture() const { return m_picture; }
    void setPicture(const QPixmap& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
