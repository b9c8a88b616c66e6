#pragma once

// Real folders on disk for the tests: a temporary tree with helpers to fill it.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestTree {
public:
    TestTree();

    const QString& root() const { return m_root; }
    QString path(const QString& relative) const;
    // Creates a file (and its folders); returns its full path.
    QString file(const QString& relative, const QByteArray& content = {}) const;
    QString folder(const QString& relative) const;
    QString link(const QString& relative, const QString& target) const;
    // Moves every time stamp below the root an hour back, so that folder listings are kept.
    void age() const;

private:
    QTemporaryDir m_dir;
    QString m_root;
};

// Reads a file whole; empty when it cannot be read.
QByteArray readBytes(const QString& path);

// Puts the test in a mount namespace of its own, whose mounts stay inside it. Called first in
// main(), before any thread starts: a namespace can only be left single-threaded. Empty when it
// worked, else why not.
QString enterOwnMountNamespace();
