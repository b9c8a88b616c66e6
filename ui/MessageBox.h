#pragma once

// The program's message boxes: real modal dialogs with Swedish buttons, titled "Trovan" unless
// given a title, always wide enough for their title and never larger than the screen (a long
// path is wrapped, and cut in the middle past a few lines). Enter presses the focused button.

#include <QString>

class QWidget;

namespace MessageBox {
void inform(QWidget* parent, const QString& text, const QString& title = {}); // OK, no icon
void warn(QWidget* parent, const QString& text);                              // OK, exclamation
bool ask(QWidget* parent, const QString& text, const QString& title);         // Ja (default), Nej
} // namespace MessageBox
