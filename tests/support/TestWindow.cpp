#include "support/TestWindow.h"

#include "core/folders/FolderRows.h"
#include "support/UserInput.h"
#include "ui/FolderView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace UserInput;

void RecordingOpener::open(const QString& file) {
    opened.append(file);
    openedUnderABox |= QApplication::activeModalWidget() != nullptr;
}

TestWindow::TestWindow(const QString& folder, const QString& filesFolder) {
    window.setFilesFolder(filesFolder);
    window.setOpener(&opener);
    window.setFileManager(&fileManager);
    window.load(folder);
    window.show();
}

FolderView* TestWindow::folderView() {
    return control<FolderView>("folderView");
}

QString TestWindow::shownFolder() {
    return static_cast<FolderRows*>(folderView()->model())->folder();
}

QStringList TestWindow::listedFolders() {
    QStringList rows;
    const QAbstractItemModel* model = folderView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(model->index(row, 0).data().toString());
    return rows;
}

QAbstractItemView* TestWindow::resultList() {
    return control<QAbstractItemView>("resultList");
}

QStringList TestWindow::entries() {
    QStringList entries;
    for (int row = 0; row < resultList()->model()->rowCount(); ++row)
        entries.append(resultList()->model()->index(row, 0).data().toString());
    return entries;
}

QString TestWindow::count() {
    return control<QLabel>("countLabel")->text();
}

bool TestWindow::showsResults() {
    return window.state() == MainWindow::State::Results &&
           control<QWidget>("resultPanel")->isVisible() &&
           control<QPushButton>("searchButton")->text() == QStringLiteral("&Ny sökning") &&
           control<QPushButton>("exitButton")->text() == QStringLiteral("A&vsluta");
}

bool TestWindow::searching() {
    return window.state() == MainWindow::State::Searching;
}

void TestWindow::setOption(const char* name, bool on) {
    if (control<QCheckBox>(name)->isChecked() != on)
        click(&window, name);
}

void TestWindow::typePattern(const QString& pattern) {
    click(&window, "patternBox");
    type(&window, pattern);
}

bool TestWindow::search() {
    click(&window, "searchButton");
    return waitFor([&] { return window.state() == MainWindow::State::Results; }, 60000);
}

QPoint TestWindow::spotOfRow(int row) {
    const QRect place = resultList()->visualRect(resultList()->model()->index(row, 0));
    return resultList()->viewport()->mapTo(&window, place.center());
}

void TestWindow::clickRow(int row, Qt::KeyboardModifiers modifiers) {
    resultList()->scrollTo(resultList()->model()->index(row, 0));
    clickAt(&window, spotOfRow(row), modifiers);
}

QPoint TestWindow::spotOfFolder(const QString& name) {
    const QAbstractItemModel* model = folderView()->model();
    const QModelIndexList rows =
        model->match(model->index(0, 0), FolderRows::NameRole, name, 1, Qt::MatchExactly);
    if (rows.isEmpty())
        qFatal("no folder %s in the folder list", qPrintable(name));
    folderView()->scrollTo(rows.first());
    const QRect place = folderView()->visualRect(rows.first());
    return folderView()->viewport()->mapTo(&window, place.center());
}

void TestWindow::openFolder(const QString& name) {
    doubleClickAt(&window, spotOfFolder(name));
}

bool programEnds(const std::function<void()>& act) {
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, act);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
    watchdog.start(20000);
    return QApplication::exec() == 0 && quitting.size() == 1;
}

QImage drawnList(QAbstractItemView* list) {
    list->doItemsLayout();
    return list->viewport()->grab().toImage();
}
