#pragma once

// The about window: the picture, the program's name in large type, the version, a credit line
// and "&OK". "&OK", Enter, Esc and the close box unload it, which destroys the window; it
// changes nothing in the main window. Its version label carries the design-time "v1.0" until
// whoever opens the window sets the real version.

#include "platform/CommandButton.h"
#include "platform/Form.h"
#include "platform/Image.h"
#include "platform/Label.h"

class frmom : public Form {
    Q_OBJECT
public:
    frmom();

    void Command1_Click();

    // Controls, in the order the window creates them.
    CommandButton* Command1;
    Label* Label4;
    Label* lblversion;
    Label* Label3;
    Label* Label2;
    Label* Label1;
    Image* Image1;

private:
    void createControls();
    void wireEvents();
};
