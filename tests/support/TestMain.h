#pragma once

// The main of every widget test: a real QApplication (on the offscreen platform under ctest)
// set up as the program sets up its own.

#include "app/ApplicationSetup.h"

#include <QApplication>
#include <QTest>

#define TROVAN_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        QApplication application(argc, argv);                                                      \
        setUpApplication();                                                                        \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
