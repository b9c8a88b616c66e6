#pragma once

// The main of every widget test: a real QApplication (on the offscreen platform under ctest)
// with the program's font stand-ins.

#include "platform/Fonts.h"

#include <QApplication>
#include <QTest>

#define TROVAN_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        QApplication application(argc, argv);                                                      \
        Fonts::installSubstitutes();                                                               \
        QApplication::setFont(Fonts::sansSerif(8.25));                                             \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
