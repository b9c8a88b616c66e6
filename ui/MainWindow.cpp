#include "ui/MainWindow.h"

#include "core/folders/ChosenFolder.h"
#include "core/folders/FolderRows.h"
#include "core/run/ResultEntries.h"
#include "ui/AboutDialog.h"
#include "ui/BusyPointer.h"
#include "ui/CommandButton.h"
#include "ui/DriveBox.h"
#include "ui/FileManager.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/Fonts.h"
#include "ui/MainWindowLayout.h"
#include "ui/MessageBox.h"
#include "ui/OptionBox.h"
#include "ui/PatternBox.h"
#include "ui/ResultList.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QScreen>

using namespace MainWindowLayout;
using Twips::placed;

namespace {

QCheckBox* checkBox(QWidget* parent, const Place& place, const QString& text, bool checked) {
    auto* box = placed<OptionBox>(parent, place);
    box->setText(text);
    box->setChecked(checked);
    return box;
}

// Enter presses the focused button: each button is its own default while it has the focus.
QPushButton* button(QWidget* parent, const Place& place, const QString& text) {
    auto* control = placed<CommandButton>(parent, place);
    control->setText(text);
    control->setAutoDefault(true);
    return control;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QDialog(parent), m_control(new RunControl(this)),
      m_systemOpener(std::make_unique<XdgOpener>()), m_opener(m_systemOpener.get()),
      m_systemFileManager(std::make_unique<DesktopFileManager>(
          [this](const QString& folder) { m_opener->open(folder); })),
      m_fileManager(m_systemFileManager.get()) {
    createLayout();
    connectSignals();
}

MainWindow::~MainWindow() = default;

void MainWindow::createLayout() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips::toPixels(ClientWidth), Twips::toPixels(ClientHeight));
    setSizeGripEnabled(false);
    setWindowTitle(WindowTitle);
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
    m_countLabel->setText(RunControl::countText(0));
    m_resultList = placed<ResultList>(m_resultPanel, resultList);
    m_removeMarkedButton = button(m_resultPanel, removeMarkedButton, RemoveMarkedText);
    m_saveListButton = button(m_resultPanel, saveListButton, SaveListText);
    m_openFileButton = button(m_resultPanel, openFileButton, OpenFileText);

    m_searchButton = button(this, searchButton, SearchText);
    m_searchButton->setDefault(true);
    m_exitButton = button(this, exitButton, ExitText);
    for (QPushButton* grey : {m_searchButton, m_exitButton}) {
        setColour(grey, QPalette::Button, MainButtonColour);
        setColour(grey, QPalette::ButtonText, MainButtonTextColour);
    }
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

    const QList<std::pair<QWidget*, QString>> spokenNames = {
        {m_optionPanel, OptionPanelName},
        {m_resultPanel, ResultPanelName},
        {m_patternBox, PatternBoxName},
        {m_driveBox, DriveBoxName},
        {m_folderView, FolderViewName},
        {m_resultList, ResultListName},
        {m_countLabel, countName(m_countLabel->text())}};
    for (const auto& [control, name] : spokenNames)
        control->setAccessibleName(name);
    m_heading->setBuddy(m_driveBox);
}

void MainWindow::connectSignals() {
    RunControl& control = *m_control;
    ChosenFolder& chosen = control.chosenFolder();
    m_folderView->setRows(chosen.rows());
    m_resultList->setModel(&control.entries());

    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::searchPressed);
    connect(m_exitButton, &QPushButton::clicked, &control, &RunControl::exitPressed);
    connect(m_aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);
    connect(m_removeMarkedButton, &QPushButton::clicked, this, [this] {
        m_control->removeEntries(m_resultList->markedRows(), m_resultList->currentRow());
    });
    connect(m_saveListButton, &QPushButton::clicked, &control, &RunControl::saveList);
    connect(m_openFileButton, &QPushButton::clicked, this,
            [this] { m_control->openEntry(m_resultList->currentRow()); });
    connect(m_resultList, &ResultList::openAsked, this, [this](const QList<int>& rows) {
        if (mayHandOut(m_control->pathsAt(rows).size(), false))
            m_control->openEntries(rows);
    });
    connect(m_resultList, &ResultList::showInFolderAsked, this, [this](const QList<int>& rows) {
        const QStringList paths = m_control->pathsAt(rows);
        if (!paths.isEmpty() && mayHandOut(paths.size(), true))
            m_fileManager->showItems(paths);
    });
    connect(m_folderView, &FolderView::chosen, &chosen, &ChosenFolder::choose);
    connect(m_driveBox, &DriveBox::chosen, &chosen, &ChosenFolder::choose);

    connect(&chosen, &ChosenFolder::pendingChanged, m_folderView, &FolderView::setPending);
    connect(&chosen, &ChosenFolder::shown, m_driveBox, &DriveBox::showFolder);
    connect(&chosen, &ChosenFolder::failed, this,
            [this] { m_driveBox->showFolder(m_control->chosenFolder().rows()->folder()); });
    connect(&control, &RunControl::stateChanged, this, &MainWindow::showState);
    connect(&control, &RunControl::countChanged, this, [this](const QString& count) {
        m_countLabel->setText(count);
        m_countLabel->setAccessibleName(countName(count));
    });
    connect(&control, &RunControl::searchEnded, this, &MainWindow::searchEnded);
    connect(&control, &RunControl::leaveAsked, this, [this] {
        if (MessageBox::ask(this, QStringLiteral("Avsluta programmet?"),
                            QStringLiteral("Avsluta?")))
            m_control->leave();
    });
    connect(&control, &RunControl::leaving, this, &MainWindow::leave);
    connect(&control, &RunControl::warned, this,
            [this](const QString& text) { MessageBox::warn(this, text); });
    connect(&control, &RunControl::informed, this,
            [this](const QString& text, const QString& title) {
                MessageBox::inform(this, text, title);
            });
    connect(&control, &RunControl::listSaved, this,
            [this](const QString& text, const QString& title, const QString& file) {
                MessageBox::inform(this, text, title);
                // The box also closes when the program ends while it is up: then nothing opens.
                if (!m_control->hasLeft())
                    m_opener->open(file);
            });
    connect(&control, &RunControl::openRequested, this,
            [this](const QString& file) { m_opener->open(file); });
}

void MainWindow::load(const QString& folder) {
    m_control->start(QDir::currentPath(), folder);
    m_driveBox->startWatching();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

SearchOptions MainWindow::options() const {
    SearchOptions options;
    options.pattern = m_patternBox->text();
    options.includeSubfolders = m_includeSubfolders->isChecked();
    options.listFolders = m_listFolders->isChecked();
    options.fullPaths = m_fullPaths->isChecked();
    options.keepExtensions = m_keepExtensions->isChecked();
    return options;
}

// An access key leaves the focus where it is: a folder highlighted in the folder list is the
// one to search, as if the focus had left the list for the button.
void MainWindow::searchPressed() {
    if (m_control->state() == State::Options)
        m_folderView->chooseMovedHighlight();
    m_control->searchPressed(options());
}

void MainWindow::showState(State state) {
    // A control hidden with its panel leaves the focus to the search button, not to whatever
    // Qt would pick next: Qt moves the focus on while hiding, so look before.
    QWidget* panelGoing = state == State::Options ? m_resultPanel : m_optionPanel;
    QWidget* focused = focusWidget();
    const bool focusGoes = !focused || panelGoing->isAncestorOf(focused);
    if (state == State::Searching) {
        m_openFileButton->setEnabled(m_control->canOpenEntries());
        m_searchPointer = std::make_unique<BusyPointer>();
    } else {
        m_searchPointer.reset();
    }
    m_optionPanel->setVisible(state == State::Options);
    m_resultPanel->setVisible(state != State::Options);
    m_searchButton->setText(state == State::Results ? NewSearchText : SearchText);
    m_exitButton->setText(state == State::Searching ? CancelText : ExitText);
    if (focusGoes || state == State::Results)
        m_searchButton->setFocus();
}

void MainWindow::reject() {
    m_control->escapePressed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    m_control->leave();
}

// Every window of the program goes from the screen now, and the display hears of it at once:
// a thread held in the kernel may keep the process for a while, but nothing of it stays shown.
void MainWindow::leave() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool MainWindow::mayHandOut(qsizetype count, bool showing) {
    if (!RunControl::asksBeforeHandingOut(count))
        return true;
    const bool folders = m_control->entryKind() == EntryPaths::Kind::Folder;
    const QString what = folders ? QStringLiteral("mappar") : QStringLiteral("filer");
    const QString question = showing ? QStringLiteral("Visa %1 %2 i mapp?").arg(count).arg(what)
                                     : QStringLiteral("Öppna %1 %2?").arg(count).arg(what);
    return MessageBox::ask(this, question, {});
}

void MainWindow::showAbout() {
    // The search goes on behind it: entries keep arriving in the list.
    AboutDialog about(this);
    about.exec();
}
