#include "support/TestWindow.h"

#include "platform/App.h"

#include <QFileInfo>

TestWindow::TestWindow() : m_programFolder(QFileInfo(m_programDir.path()).canonicalFilePath()) {
    App::setPathForTesting(m_programFolder);
    m_window = std::make_unique<Trovan>();
    m_window->Form_Load();
}

TestWindow::~TestWindow() {
    m_window.reset();
    App::setPathForTesting({});
    Screen::setMousePointer(Screen::DefaultPointer);
}

QStringList TestWindow::search(const QString& folder, const QString& pattern, Options options) {
    if (m_window->cmdSearch->Caption() != QStringLiteral("&Sök"))
        m_window->cmdSearch_Click(); // "&Ny sökning" first
    m_window->dirList->setPath(folder);
    m_window->txtSearchSpec->setTextValue(pattern);
    m_window->chksubmapp->setValue(options.subfolders);
    m_window->chkmapp->setValue(options.folders);
    m_window->Check1->setValue(options.fullPath);
    m_window->chkextension->setValue(options.extension);
    m_window->cmdSearch->click();
    return entries();
}

QStringList TestWindow::entries() const {
    QStringList list;
    for (int i = 0; i < m_window->lstFoundFiles->ListCount(); ++i)
        list.append(m_window->lstFoundFiles->List(i));
    return list;
}
