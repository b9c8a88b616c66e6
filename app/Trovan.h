#pragma once

// The main window, which carries all of the program's function: the option panel (drive,
// folder, pattern, options), the result panel (result list, counter, result actions) and the
// buttons below them. The state of the window lives in its controls (captions, visibility, the
// exit button's Cancel, the hidden labels); `searchActive` is its one field.
//
// Its members are defined by subsystem: the layout in Trovan.cpp, start-up and exit and the
// folder panel in app/, the search in search/, the result actions in results/, the about
// button in about/.

#include "platform/CheckBox.h"
#include "platform/CommandButton.h"
#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/Form.h"
#include "platform/Label.h"
#include "platform/ListBox.h"
#include "platform/Panel.h"
#include "platform/TextBox.h"

#include <QStringList>

class frmom;

class Trovan : public Form {
    Q_OBJECT
public:
    Trovan();
    ~Trovan() override;

    // Public operations.
    void avsluta();
    static QStringList Split(const QString& aText, const QString& vSrch = QStringLiteral(" "));

    // Event handlers, named control, underscore, event.
    void Form_Load();
    void Form_Unload();
    void cmdSearch_Click();
    void cmdExit_Click();
    void Command1_Click();
    void Command2_Click();
    void cmdopenfil_Click();
    void Command3_Click();
    void chkmapp_Click();
    void DrvList_Change();
    void DirList_Change();
    void DirList_LostFocus();
    void txtSearchSpec_Change();
    void txtSearchSpec_GotFocus();

    bool searchActive() const { return m_searchActive; }
    frmom* aboutWindow() const { return m_about; }

    // Controls, in the order the window creates them.
    CommandButton* Command3;
    Panel* Picture2;
    CommandButton* cmdopenfil;
    ListBox* List1;
    CommandButton* Command2;
    CommandButton* Command1;
    ListBox* lstFoundFiles;
    Label* lblCount;
    Label* lblfound;
    Panel* Picture1;
    CheckBox* chkextension;
    CheckBox* chksubmapp;
    CheckBox* chkmapp;
    TextBox* txtSearchSpec;
    CheckBox* Check1;
    DriveList* drvList;
    FolderList* dirList;
    FileList* filList;
    Label* Label1;
    Label* lblCriteria;
    CommandButton* cmdSearch;
    CommandButton* cmdExit;
    Label* lblmappnamn;
    Label* lblmapp;
    Label* Label2;

private:
    void createControls();
    void wireEvents();
    void PrepareNewSearch();
    bool WalkFolder(const QString& folder, const QString& returnPath);
    bool walkSubfolders(const QString& folder);
    bool enterSubfolder(int index);
    void listFolder();
    void appendEntry(const QString& entry);
    QString folderEntry() const;
    QString fileEntry(const QString& prefix, const QString& fileName) const;
    QString programFile(const QString& name) const;

    bool m_searchActive = false;
    frmom* m_about = nullptr;
};
