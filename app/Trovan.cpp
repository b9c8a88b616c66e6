#include "app/Trovan.h"

#include "app/TrovanLayout.h"
#include "platform/App.h"
#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QIcon>

using namespace TrovanLayout;

namespace {

template <typename Control, typename... Extra>
Control* placed(QWidget* container, const Place& place, Extra... extra) {
    auto* control = new Control(container, extra...);
    Twips::place(control, place.left, place.top, place.width, place.height);
    return control;
}

void setColours(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

} // namespace

Trovan::Trovan() : Form(Frame::FixedDialog, ClientWidth, ClientHeight) {
    createControls();
    wireEvents();
}

Trovan::~Trovan() = default;

void Trovan::createControls() {
    setCaption(WindowCaption);
    setWindowIcon(QIcon(QStringLiteral(":/trovan/trovan.png")));
    setFont(Fonts::sansSerif(FontPoints, true));
    const QFont regular = Fonts::sansSerif(FontPoints);
    const QColor windowText = palette().color(QPalette::WindowText);
    const QColor systemWindow = palette().color(QPalette::Base);
    const QColor highlight = palette().color(QPalette::Highlight);

    Command3 = placed<CommandButton>(this, TrovanLayout::Command3);
    Command3->setCaption(Command3Caption);
    Picture2 = placed<Panel>(this, TrovanLayout::Picture2);
    Picture2->setBackColor(Picture2BackColor);
    setColours(Picture2, QPalette::WindowText, windowText);
    Picture2->setVisible(false);
    cmdopenfil = placed<CommandButton>(Picture2, TrovanLayout::cmdopenfil);
    cmdopenfil->setCaption(cmdopenfilCaption);
    List1 = placed<ListBox>(Picture2, TrovanLayout::List1, ListBox::Selection::Single);
    List1->setVisible(false);
    Command2 = placed<CommandButton>(Picture2, TrovanLayout::Command2);
    Command2->setCaption(Command2Caption);
    Command1 = placed<CommandButton>(Picture2, TrovanLayout::Command1);
    Command1->setCaption(Command1Caption);
    lstFoundFiles =
        placed<ListBox>(Picture2, TrovanLayout::lstFoundFiles, ListBox::Selection::Extended);
    lblCount = placed<Label>(Picture2, TrovanLayout::lblCount);
    lblCount->setCaption(lblCountCaption);
    lblCount->setBackColor(systemWindow);
    lblfound = placed<Label>(Picture2, TrovanLayout::lblfound);
    lblfound->setCaption(lblfoundCaption);
    lblfound->setBackColor(systemWindow);

    Picture1 = placed<Panel>(this, TrovanLayout::Picture1);
    Picture1->setBackColor(Picture1BackColor);
    setColours(Picture1, QPalette::WindowText, windowText);
    chkextension = placed<CheckBox>(Picture1, TrovanLayout::chkextension);
    chkextension->setCaption(chkextensionCaption);
    chkextension->setValue(1);
    chksubmapp = placed<CheckBox>(Picture1, TrovanLayout::chksubmapp);
    chksubmapp->setCaption(chksubmappCaption);
    chkmapp = placed<CheckBox>(Picture1, TrovanLayout::chkmapp);
    chkmapp->setCaption(chkmappCaption);
    txtSearchSpec = placed<TextBox>(Picture1, TrovanLayout::txtSearchSpec);
    txtSearchSpec->setTextValue(txtSearchSpecText);
    Check1 = placed<CheckBox>(Picture1, TrovanLayout::Check1);
    Check1->setCaption(Check1Caption);
    Check1->setValue(1);
    drvList = placed<DriveList>(Picture1, TrovanLayout::drvList);
    dirList = placed<FolderList>(Picture1, TrovanLayout::dirList);
    filList = placed<FileList>(Picture1, TrovanLayout::filList);
    filList->setVisible(false);
    filList->setPattern(filListPattern);
    filList->setPath(dirList->Path());
    Label1 = placed<Label>(Picture1, TrovanLayout::Label1);
    Label1->setCaption(Label1Caption);
    lblCriteria = placed<Label>(Picture1, TrovanLayout::lblCriteria);
    lblCriteria->setCaption(lblCriteriaCaption);
    lblCriteria->setBackColor(systemWindow);
    lblCriteria->setVisible(false);

    cmdSearch = placed<CommandButton>(this, TrovanLayout::cmdSearch);
    cmdSearch->setCaption(cmdSearchCaption);
    cmdSearch->setDefault(true);
    setColours(cmdSearch, QPalette::Button, MainButtonBackColor);
    cmdExit = placed<CommandButton>(this, TrovanLayout::cmdExit);
    cmdExit->setCaption(cmdExitCaption);
    setColours(cmdExit, QPalette::Button, MainButtonBackColor);
    lblmappnamn = placed<Label>(this, TrovanLayout::lblmappnamn);
    lblmappnamn->setVisible(false);
    lblmapp = placed<Label>(this, TrovanLayout::lblmapp);
    lblmapp->setVisible(false);
    Label2 = placed<Label>(this, TrovanLayout::Label2);
    Label2->setBackColor(highlight);
    setColours(Label2, QPalette::WindowText, highlight);

    for (QWidget* control : std::initializer_list<QWidget*>{
             Command3, cmdopenfil, List1, Command2, Command1, lstFoundFiles, lblCount, lblfound,
             chkextension, chksubmapp, chkmapp, txtSearchSpec, Check1, drvList, dirList,
             lblCriteria, cmdSearch, cmdExit})
        control->setFont(regular);

    // The stand-in font is a little wider than the designed one: a check box whose caption
    // would be cut grows to the right, as far as its container allows.
    for (CheckBox* box : {chkextension, chksubmapp, chkmapp, Check1}) {
        const int wanted = box->sizeHint().width();
        const int room = box->parentWidget()->width() - box->x();
        if (box->width() < wanted)
            box->resize(std::min(wanted, room), box->height());
    }

    // Tab order by TabIndex; the folder list comes before the drive list.
    const std::initializer_list<QWidget*> tabOrder = {
        cmdSearch, cmdExit, dirList,       drvList, lstFoundFiles, Command1,   Command2,
        Command3,  Check1,  txtSearchSpec, chkmapp, chksubmapp,    cmdopenfil, chkextension};
    QWidget* previous = nullptr;
    for (QWidget* control : tabOrder) {
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }
    cmdSearch->setFocus();
}

void Trovan::wireEvents() {
    onUnload = [this] { Form_Unload(); };
    cmdSearch->onClick = [this] { cmdSearch_Click(); };
    cmdExit->onClick = [this] { cmdExit_Click(); };
    Command1->onClick = [this] { Command1_Click(); };
    Command2->onClick = [this] { Command2_Click(); };
    cmdopenfil->onClick = [this] { cmdopenfil_Click(); };
    Command3->onClick = [this] { Command3_Click(); };
    chkmapp->onClick = [this] { chkmapp_Click(); };
    drvList->onChange = [this] { DrvList_Change(); };
    dirList->onChange = [this] { DirList_Change(); };
    dirList->onLostFocus = [this] { DirList_LostFocus(); };
    txtSearchSpec->onChange = [this] { txtSearchSpec_Change(); };
    txtSearchSpec->onGotFocus = [this] { txtSearchSpec_GotFocus(); };
}

QString Trovan::programFile(const QString& name) const {
    // Formed without testing for a separator at the end: a root program folder gives "//name",
    // which names the same file.
    return App::Path() + u'/' + name;
}
