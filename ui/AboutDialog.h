#pragma once

// The about window: the picture, the program's name in large type, its version and a credit
// line, closed with "&OK", Enter, Esc or the close box. It changes nothing elsewhere.

#include <QDialog>

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    static QString versionText(); // "v1.1"

private:
    void createLayout();
};
