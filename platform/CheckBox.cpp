#include "platform/CheckBox.h"

#include "platform/Events.h"

CheckBox::CheckBox(QWidget* container) : QCheckBox(container) {
    connect(this, &QCheckBox::clicked, this, [this] { Events::raise(onClick); });
}
