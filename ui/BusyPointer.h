#pragma once

// The busy pointer over every window of the program for as long as a holder lives. The search
// and a wait for the file manager each hold one; either may end first without taking the
// pointer from the other, since each takes back only its own. It does not stop input.

#include <QApplication>

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};
