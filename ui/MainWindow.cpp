#include "ui/MainWindow.h"

#include "core/FileNames.h"
#include "core/FolderLister.h"
#include "core/Mailbox.h"
#include "core/ProgramFiles.h"
#include "core/Search.h"
#include "core/StoredFiles.h"
#include "core/SystemError.h"
#include "ui/AboutDialog.h"
#include "ui/DriveBox.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/Fonts.h"
#include "ui/MainWindowLayout.h"
#include "ui/MessageBox.h"
#include "ui/PatternBox.h"
#include "ui/ResultList.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <sys/stat.h>
#include <thread>

using namespace MainWindowLayout;

namespace {

const QString SettingsFile = QStringLiteral("setup.ini");
const QString ListFile = QStringLiteral("lista.txt");
const QString FullListMessage =
    QStringLiteral("You've filled the listbox. Search being abandoned...");

template <typename Control> Control* placed(QWidget* parent, const Place& place) {
    auto* control = new Control(parent);
    Twips::place(control, place.left, place.top, place.width, place.height);
    return control;
}

QCheckBox* checkBox(QWidget* parent, const Place& place, const QString& text, bool checked) {
    auto* box = placed<QCheckBox>(parent, place);
    box->setText(text);
    box->setChecked(checked);
    return box;
}

QPushButton* button(QWidget* parent, const Place& place, const QString& text) {
    auto* control = placed<QPushButton>(parent, place);
    control->setText(text);
    control->setAutoDefault(true); // Enter presses the focused button, elsewhere the default
    return control;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

QString countText(qsizetype count) {
    return count == 0 ? QStringLiteral("0") : u' ' + QString::number(count);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QDialog(parent), m_systemOpener(std::make_unique<XdgOpener>()),
      m_opener(m_systemOpener.get()), m_mailbox(Mailbox::to(this)) {
    createLayout();
    connectSignals();
}

MainWindow::~MainWindow() {
    m_mailbox->close();
}

void MainWindow::createLayout() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips::toPixels(ClientWidth), Twips::toPixels(ClientHeight));
    setSizeGripEnabled(false);
    setWindowTitle(WindowTitle);
    setWindowIcon(QIcon(QStringLiteral(":/trovan/trovan.png")));
    setFont(Fonts::sansSerif(FontPoints, true));
    const QFont regular = Fonts::sansSerif(FontPoints);
    const QColor highlight = palette().color(QPalette::Highlight);

    m_optionPanel = placed<QWidget>(this, optionPanel);
    m_heading = placed<QLabel>(m_optionPanel, heading);
    m_heading->setText(HeadingText);
    m_keepExtensions = checkBox(m_optionPanel, keepExtensions, KeepExtensionsText, true);
    m_driveBox = placed<DriveBox>(m_optionPanel, driveBox);
    m_patternBox = placed<PatternBox>(m_optionPanel, patternBox);
    m_patternBox->setText(DefaultPattern);
    m_listFolders = checkBox(m_optionPanel, listFolders, ListFoldersText, false);
    m_fullPaths = checkBox(m_optionPanel, fullPaths, FullPathsText, true);
    m_includeSubfolders = checkBox(m_optionPanel, includeSubfolders, IncludeSubfoldersText, false);
    m_folderView = placed<FolderView>(m_optionPanel, folderView);

    m_resultPanel = placed<QWidget>(this, resultPanel);
    m_resultPanel->hide();
    m_foundLabel = placed<QLabel>(m_resultPanel, foundLabel);
    m_foundLabel->setText(FoundText);
    m_countLabel = placed<QLabel>(m_resultPanel, countLabel);
    m_countLabel->setText(countText(0));
    m_resultList = placed<ResultList>(m_resultPanel, resultList);
    m_removeMarkedButton = button(m_resultPanel, removeMarkedButton, RemoveMarkedText);
    m_saveListButton = button(m_resultPanel, saveListButton, SaveListText);
    m_openFileButton = button(m_resultPanel, openFileButton, OpenFileText);

    m_searchButton = button(this, searchButton, SearchText);
    m_searchButton->setDefault(true);
    m_searchButton->setAutoDefault(true);
    setColour(m_searchButton, QPalette::Button, MainButtonColour);
    m_exitButton = button(this, exitButton, ExitText);
    setColour(m_exitButton, QPalette::Button, MainButtonColour);
    m_aboutButton = button(this, aboutButton, AboutText);
    m_separatorBar = placed<QLabel>(this, separatorBar);
    m_separatorBar->setAutoFillBackground(true);
    setColour(m_separatorBar, QPalette::Window, highlight);

    const QList<QWidget*> controls = {
        m_keepExtensions, m_driveBox,          m_patternBox,         m_listFolders,
        m_fullPaths,      m_includeSubfolders, m_folderView,         m_foundLabel,
        m_countLabel,     m_resultList,        m_removeMarkedButton, m_saveListButton,
        m_openFileButton, m_searchButton,      m_exitButton,         m_aboutButton};
    for (QWidget* control : controls)
        control->setFont(regular);

    // A label lies beneath every other control and never takes a click meant for one.
    for (QLabel* label : {m_heading, m_foundLabel, m_countLabel, m_separatorBar}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->lower();
    }

    // The stand-in font is a little wider than the designed one: a check box whose text would
    // be cut grows to the right, as far as its panel allows.
    for (QCheckBox* box : {m_keepExtensions, m_listFolders, m_fullPaths, m_includeSubfolders}) {
        const int wanted = box->sizeHint().width();
        const int room = box->parentWidget()->width() - box->x();
        if (box->width() < wanted)
            box->resize(std::min(wanted, room), box->height());
    }

    const QList<QWidget*> tabOrder = {
        m_searchButton,       m_exitButton,        m_folderView,     m_driveBox,      m_resultList,
        m_removeMarkedButton, m_saveListButton,    m_aboutButton,    m_fullPaths,     m_patternBox,
        m_listFolders,        m_includeSubfolders, m_openFileButton, m_keepExtensions};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_searchButton->setFocus();

    // Names by which the controls are found from outside, as a person finds them by sight.
    const QList<std::pair<QObject*, const char*>> names = {
        {m_optionPanel, "optionPanel"},       {m_resultPanel, "resultPanel"},
        {m_keepExtensions, "keepExtensions"}, {m_driveBox, "driveBox"},
        {m_patternBox, "patternBox"},         {m_listFolders, "listFolders"},
        {m_fullPaths, "fullPaths"},           {m_includeSubfolders, "includeSubfolders"},
        {m_folderView, "folderView"},         {m_countLabel, "countLabel"},
        {m_resultList, "resultList"},         {m_removeMarkedButton, "removeMarkedButton"},
        {m_saveListButton, "saveListButton"}, {m_openFileButton, "openFileButton"},
        {m_searchButton, "searchButton"},     {m_exitButton, "exitButton"},
        {m_aboutButton, "aboutButton"}};
    for (const auto& [control, name] : names)
        control->setObjectName(QLatin1String(name));
}

void MainWindow::connectSignals() {
    m_search = new Search(this);
    connect(m_search, &Search::entriesReady, this, &MainWindow::takeEntries);
    connect(m_search, &Search::finished, this, [this] {
        takeEntries();
        if (m_state == State::Searching && !m_listFull)
            endSearch();
    });
    connect(m_search, &Search::failed, this, [this](const QString& description) {
        // No search started there, so it is not the folder to come back to.
        m_lastStartFolder = m_folderBeforeSearch;
        QApplication::restoreOverrideCursor();
        showState(State::Options);
        MessageBox::warn(this, description);
    });
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::searchPressed);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::exitPressed);
    connect(m_aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);
    connect(m_removeMarkedButton, &QPushButton::clicked, this, &MainWindow::removeMarked);
    connect(m_saveListButton, &QPushButton::clicked, this, &MainWindow::saveList);
    connect(m_openFileButton, &QPushButton::clicked, this, &MainWindow::openCurrentEntry);
    connect(m_folderView, &FolderView::opened, this, &MainWindow::folderOpened);
    connect(m_folderView, &FolderView::openFailed, this,
            [this](const QString&, const QString& error, FolderView::Origin origin) {
                m_driveBox->showFolder(m_folderView->path());
                if (origin == FolderView::Origin::Person)
                    MessageBox::warn(this, error);
            });
    connect(m_driveBox, &DriveBox::chosen, this, [this](const QString& folder) {
        m_driveChosenByPerson = true;
        m_folderView->open(folder);
    });
}

void MainWindow::load(const QString& folder) {
    const QString saved = StoredFiles::readSavedFolder(filePath(SettingsFile));
    m_folderView->open(QDir::currentPath());
    m_driveBox->startWatching();
    restoreFolder(saved, folder);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The folder asked for on the command line, else the saved one, is shown once it could be
// read, unless a person has chosen a folder meanwhile. One that never answers (a network share
// that stopped) leaves the window on the folder it started in.
void MainWindow::restoreFolder(const QString& saved, const QString& requested) {
    const QString first = requested.isEmpty() ? saved : requested;
    const QString second = requested.isEmpty() ? QString() : saved;
    if (first.isEmpty())
        return;
    m_restoreProbe = new FolderLister(this);
    connect(m_restoreProbe, &FolderLister::listed, this, [this](const SubfolderListing& listing) {
        if (!m_driveChosenByPerson && !m_folderView->hasPersonChosen())
            m_folderView->open(listing.folder);
    });
    connect(m_restoreProbe, &FolderLister::failed, this, [this, second] {
        if (!second.isEmpty())
            restoreFolder(second, {});
    });
    m_restoreProbe->list(first);
}

void MainWindow::searchPressed() {
    switch (m_state) {
    case State::Searching:
        return; // one search at a time
    case State::Results:
        prepareNewSearch();
        return;
    case State::Options:
        // A folder only highlighted (Enter pressed in the folder list) is opened first; the
        // next press searches it.
        if (!m_folderView->isHighlightOpen()) {
            m_folderView->openHighlighted();
            return;
        }
        startSearch();
    }
}

void MainWindow::startSearch() {
    SearchOptions options;
    options.startFolder = m_folderView->path();
    if (options.startFolder.isEmpty())
        return; // no folder could be read yet
    options.pattern = m_patternBox->text();
    options.includeSubfolders = m_includeSubfolders->isChecked();
    options.listFolders = m_listFolders->isChecked();
    options.fullPaths = m_fullPaths->isChecked();
    options.keepExtensions = m_keepExtensions->isChecked();

    m_folderBeforeSearch = m_lastStartFolder;
    m_lastStartFolder = options.startFolder;
    m_listFull = false;
    // Only full paths of files name something to open.
    m_openFileButton->setEnabled(!options.listFolders && options.fullPaths);
    showState(State::Searching);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_search->start(options);
}

void MainWindow::takeEntries() {
    if (m_state != State::Searching || m_listFull)
        return;
    const QStringList entries = m_search->takeEntries();
    const qsizetype added = m_resultList->append(entries);
    m_found += added;
    m_countLabel->setText(countText(m_found));
    if (added == entries.size())
        return;
    m_search->cancel();
    m_listFull = true;
    MessageBox::inform(this, FullListMessage);
    endSearch();
}

void MainWindow::endSearch() {
    QApplication::restoreOverrideCursor();
    showState(State::Results);
    m_searchButton->setFocus();
    emit searchEnded();
}

void MainWindow::prepareNewSearch() {
    m_resultList->clear();
    m_found = 0;
    m_countLabel->setText(countText(0));
    showState(State::Options);
    if (!m_lastStartFolder.isEmpty())
        m_folderView->open(m_lastStartFolder);
}

void MainWindow::showState(State state) {
    m_state = state;
    // A control hidden with its panel leaves the focus to the search button, not to whatever
    // Qt would pick next: Qt moves the focus on while hiding, so look before.
    QWidget* panelGoing = state == State::Options ? m_resultPanel : m_optionPanel;
    QWidget* focused = focusWidget();
    const bool focusGoes = !focused || panelGoing->isAncestorOf(focused);
    m_optionPanel->setVisible(state == State::Options);
    m_resultPanel->setVisible(state != State::Options);
    m_searchButton->setText(state == State::Results ? NewSearchText : SearchText);
    m_exitButton->setText(state == State::Searching ? CancelText : ExitText);
    if (focusGoes)
        m_searchButton->setFocus();
}

void MainWindow::exitPressed() {
    if (m_state == State::Searching) {
        m_search->cancel();
        endSearch();
        return;
    }
    if (MessageBox::ask(this, QStringLiteral("Avsluta programmet?"), QStringLiteral("Avsluta?")))
        saveAndQuit();
}

void MainWindow::reject() {
    if (m_state == State::Searching)
        exitPressed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    saveAndQuit();
}

// Leaving without having searched keeps the folder saved before.
void MainWindow::saveAndQuit() {
    m_search->cancel();
    if (!m_lastStartFolder.isEmpty())
        StoredFiles::writeSavedFolder(filePath(SettingsFile), m_lastStartFolder);
    QApplication::restoreOverrideCursor();
    QApplication::exit(0);
}

// Formed without testing for a separator at the end: a root folder gives "//name", which
// names the same file.
QString MainWindow::filePath(const QString& name) {
    if (m_filesFolder.isEmpty())
        m_filesFolder = ProgramFiles::folder();
    return m_filesFolder + u'/' + name;
}

void MainWindow::folderOpened(const QString& folder) {
    m_driveBox->showFolder(folder);
}

void MainWindow::removeMarked() {
    m_resultList->removeMarked();
}

// Written on a thread of its own: the program's folder may be slow to write.
void MainWindow::saveList() {
    const QString file = filePath(ListFile);
    std::thread([mailbox = m_mailbox, file, entries = m_resultList->entries()] {
        const std::optional<SystemError> error = StoredFiles::writeList(file, entries);
        mailbox->deliver<MainWindow>([file, error](MainWindow& window) {
            if (error) {
                MessageBox::warn(&window, error->description);
                return;
            }
            MessageBox::inform(&window, QStringLiteral("Fil sparad:\r\n") + file,
                               QStringLiteral("Fil sparad"));
            window.m_opener->open(file);
        });
    }).detach();
}

// Only an existing file is handed to the opener: an entry cut short of its extension, or a
// file removed since the search, is reported with the system's reason.
void MainWindow::openCurrentEntry() {
    if (!m_resultList->hasCurrentEntry())
        return;
    const QString entry = m_resultList->currentEntry();
    std::thread([mailbox = m_mailbox, entry] {
        struct stat info {};
        const QByteArray name = FileNames::encode(entry);
        int error = 0;
        if (name.contains('\0') || stat(name.constData(), &info) != 0)
            error = name.contains('\0') ? ENOENT : errno;
        else if (S_ISDIR(info.st_mode))
            error = EISDIR;
        mailbox->deliver<MainWindow>([entry, error](MainWindow& window) {
            if (error == 0) {
                window.m_opener->open(entry);
                return;
            }
            const SystemError failure = SystemError::forFile(error, entry);
            MessageBox::warn(&window, QStringLiteral("Ett fel uppstod!\r\n") +
                                          QString::number(failure.number) + QStringLiteral(" - ") +
                                          failure.description);
        });
    }).detach();
}

void MainWindow::showAbout() {
    // The search goes on behind it: entries keep arriving in the list.
    AboutDialog about(this);
    about.exec();
}
