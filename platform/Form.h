#pragma once

// A window with a fixed frame and a fixed client area in twips, centred when first shown.
// Enter presses the default button (Qt's dialog rules); Esc presses the command button whose
// Cancel is true and otherwise does nothing; the close box always unloads the window.

#include <QDialog>
#include <functional>

class Form : public QDialog {
    Q_OBJECT
public:
    enum class Frame { FixedDialog, FixedToolWindow };

    Form(Frame frame, int clientWidthTwips, int clientHeightTwips);

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }
    int ScaleWidth() const;
    QColor BackColor() const { return palette().color(QPalette::Window); }
    void Unload();

    // Raised when the window is unloaded: by its close box or by Unload.
    std::function<void()> onUnload;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool m_centred = false;
};
