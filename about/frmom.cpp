#include "about/frmom.h"

#include "about/frmomLayout.h"
#include "platform/Fonts.h"
#include "platform/Twips.h"

using namespace frmomLayout;

namespace {

template <typename Control> Control* placed(QWidget* container, const Place& place) {
    auto* control = new Control(container);
    Twips::place(control, place.left, place.top, place.width, place.height);
    return control;
}

} // namespace

frmom::frmom() : Form(Frame::FixedToolWindow, ClientWidth, ClientHeight) {
    createControls();
    wireEvents();
}

void frmom::createControls() {
    // Unloading destroys the window, so that the next opening loads it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    setCaption(WindowCaption);
    setFont(Fonts::sansSerif(FontPoints));
    const QColor highlight = palette().color(QPalette::Highlight);

    Command1 = placed<CommandButton>(this, frmomLayout::Command1);
    Command1->setCaption(Command1Caption);
    Command1->setDefault(true);
    Command1->setCancel(true);
    Label4 = placed<Label>(this, frmomLayout::Label4);
    Label4->setBackColor(highlight);
    lblversion = placed<Label>(this, frmomLayout::lblversion);
    lblversion->setCaption(lblversionCaption);
    Label3 = placed<Label>(this, frmomLayout::Label3);
    Label3->setBackColor(highlight);
    Label2 = placed<Label>(this, frmomLayout::Label2);
    Label2->setCaption(Label2Caption);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1 = placed<Label>(this, frmomLayout::Label1);
    Label1->setCaption(Label1Caption);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(Fonts::arial(Label1FontPoints));
    Image1 = placed<Image>(this, frmomLayout::Image1);
    Image1->setPicture(QPixmap(Image1Picture));

    // Qt stacks later siblings above earlier ones; here an earlier control lies on top.
    for (QWidget* control : std::initializer_list<QWidget*>{Image1, Label1, Label2, Label3,
                                                            lblversion, Label4, Command1})
        control->raise();

    // The button is the only control that takes the focus.
    Command1->setFocus();
}

void frmom::wireEvents() {
    Command1->onClick = [this] { Command1_Click(); };
}

void frmom::Command1_Click() {
    Unload();
}
