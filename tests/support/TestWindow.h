#pragma once

// The main window as a test drives it: in a temporary program folder of its own, with the
// test desktop installed, loaded as at program start.

#include "app/Trovan.h"
#include "support/FakeDesktop.h"

#include <QTemporaryDir>
#include <memory>

class TestWindow {
public:
    TestWindow();
    ~TestWindow();

    Trovan& operator*() const { return *m_window; }
    Trovan* operator->() const { return m_window.get(); }
    const QString& programFolder() const { return m_programFolder; }

    // Opens `folder` in the folder list, sets the pattern and options, presses the search
    // button and returns the result list's entries.
    struct Options {
        bool subfolders = true;
        bool folders = false;
        bool fullPath = true;
        bool extension = true;
    };
    QStringList search(const QString& folder, const QString& pattern, Options options);
    QStringList search(const QString& folder, const QString& pattern) {
        return search(folder, pattern, Options{});
    }
    QStringList entries() const;

    FakeDesktop desktop;

private:
    QTemporaryDir m_programDir;
    QString m_programFolder;
    std::unique_ptr<Trovan> m_window;
};
