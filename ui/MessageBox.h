#pragma once

// The program's message boxes: real modal dialogs with Swedish buttons, titled "Trovan" unless
// given a title, and always wide enough for their title and text.

#include <QString>

class QWidget;

namespace MessageBox {
void inform(QWidget* parent, const QString& text, const QString& title = {}); // OK, no icon
void warn(QWidget* parent, const QString& text);                              // OK, exclamation
bool ask(QWidget* parent, const QString& text, const QString& title);         // Ja (default), Nej
} // namespace MessageBox
