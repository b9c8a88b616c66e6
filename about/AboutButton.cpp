// The "Om..." button: the about window, shown modally with the program's version.

#include "app/Trovan.h"

#include "about/frmom.h"
#include "platform/App.h"

void Trovan::Command3_Click() {
    if (!m_about) {
        m_about = new frmom;
        // Unloading destroys the window; the next click loads a fresh one.
        connect(m_about, &QObject::destroyed, this, [this] { m_about = nullptr; });
    }
    m_about->lblversion->setCaption(QStringLiteral("v") + QString::number(App::Major()) + u'.' +
                                    QString::number(App::Minor()));
    // Without an owner, the window is modal to the whole program: the main window takes no
    // input until it is unloaded, and a search that opened it from its yield waits here.
    m_about->exec();
}
