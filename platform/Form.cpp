#include "platform/Form.h"

#include "platform/CommandButton.h"
#include "platform/Events.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QScreen>

Form::Form(Frame frame, int clientWidthTwips, int clientHeightTwips) : QDialog(nullptr) {
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    flags |= frame == Frame::FixedToolWindow ? Qt::Tool : Qt::Dialog;
    setWindowFlags(flags);
    setFixedSize(Twips::toPixels(clientWidthTwips), Twips::toPixels(clientHeightTwips));
    setSizeGripEnabled(false);
}

int Form::ScaleWidth() const {
    return Twips::fromPixels(width());
}

void Form::Unload() {
    close();
}

void Form::reject() {
    for (CommandButton* button : findChildren<CommandButton*>()) {
        if (button->Cancel() && button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
}

void Form::closeEvent(QCloseEvent* event) {
    event->accept(); // hides the window, which also ends a modal wait on it
    setResult(QDialog::Rejected);
    Events::raise(onUnload);
}

void Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
