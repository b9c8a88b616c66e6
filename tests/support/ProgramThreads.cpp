#include "support/ProgramThreads.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <thread>
#include <unistd.h>

namespace ProgramThreads {

namespace {

QByteArray nameOf(const QString& task) {
    QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

QStringList tasks() {
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// The threads there before the test's own code runs. ThreadSanitizer starts one of its own,
// named as the program, with the first thread made: one made here brings it before the look.
QStringList threadsBeforeTheTest() {
    std::thread([] {}).join();
    return tasks();
}
const QStringList startedFirst = threadsBeforeTheTest();

} // namespace

int underWay() {
    const QString self = QString::number(getpid());
    const QByteArray mainName = nameOf(self);
    int count = 0;
    for (const QString& task : tasks()) {
        if (task == self || startedFirst.contains(task))
            continue;
        const QByteArray name = nameOf(task);
        // The keeper of kept listings lives as long as its owner and answers no window.
        if (name == "trovan-keep")
            continue;
        count += name == mainName || name.startsWith("trovan-");
    }
    return count;
}

bool answersDelivered(int timeoutMs) {
    for (int quietPasses = 0; quietPasses < 2;) {
        if (!QTest::qWaitFor([] { return underWay() == 0; }, timeoutMs))
            return false;
        QCoreApplication::processEvents();
        quietPasses = underWay() == 0 ? quietPasses + 1 : 0;
    }
    return true;
}

} // namespace ProgramThreads
