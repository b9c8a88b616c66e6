#include "platform/CommandButton.h"

#include "platform/Events.h"

CommandButton::CommandButton(QWidget* container) : QPushButton(container) {
    connect(this, &QPushButton::clicked, this, [this] { Events::raise(onClick); });
}
