// One timed search through the real main window, driven as a person drives it: the window is
// shown, the start folder opened in the folder list, the pattern typed, the options set and the
// search button pressed; the press returns when the walk has returned. Prints one line:
//
//   entries=N search_s=S full_list_s=F max_gap_ms=G gap_at_s=A yields=Y peak_rss_mb=M ...
//   ... gap_folder=P
//
// full_list_s is when the full-list message came up ("-" when it did not); max_gap_ms is the
// largest time between two passes of the event loop from the press to the return, gap_at_s
// where that gap ended and gap_folder the folder being entered then. With --cancel-after, the
// cancel button is pressed at the first yield after that many seconds, and the line also tells how
// long the walk took to return after the cancel ran and how many yields and entries followed it
// (both should be 0).
//
// With --unshown the window is never shown, so nothing is painted: the difference to a shown
// window is what painting costs.
//
// Usage: bench_search START PATTERN [--entries FILE] [--cancel-after SECONDS] [--unshown]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/ApplicationSetup.h"
#include "app/Trovan.h"
#include "bench/BenchDesktop.h"
#include "bench/YieldClock.h"
#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

struct Arguments {
    QString start;
    QString pattern;
    QString entriesFile;
    double cancelAfter = -1;
    bool shown = true;
};

bool parse(const QStringList& arguments, Arguments& parsed) {
    QStringList positional;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--entries") && i + 1 < arguments.size())
            parsed.entriesFile = arguments.at(++i);
        else if (argument == QLatin1String("--unshown"))
            parsed.shown = false;
        else if (argument == QLatin1String("--cancel-after") && i + 1 < arguments.size())
            parsed.cancelAfter = arguments.at(++i).toDouble();
        else
            positional.append(argument);
    }
    if (positional.size() != 2)
        return false;
    parsed.start = positional.at(0);
    parsed.pattern = positional.at(1);
    return true;
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

bool writeEntries(const ListBox& list, const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 0; i < list.ListCount(); ++i)
        file.write(FileNames::encode(list.List(i)) + '\n');
    return file.flush();
}

double seconds(qint64 nanoseconds) {
    return double(nanoseconds) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setUpApplication();

    Arguments arguments;
    if (!parse(QApplication::arguments(), arguments)) {
        std::fprintf(stderr, "usage: bench_search START PATTERN [--entries FILE] "
                             "[--cancel-after SECONDS] [--unshown]\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    BenchDesktop desktop(clock);
    Desktop::install(&desktop);

    Trovan window;
    window.Form_Load();
    if (arguments.shown)
        window.show();
    QApplication::processEvents();

    try {
        window.dirList->setPath(arguments.start);
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "bench_search: %s\n", qPrintable(error.description()));
        return 1;
    }
    window.txtSearchSpec->setTextValue(arguments.pattern);
    window.chksubmapp->setValue(1);
    window.chkmapp->setValue(0);
    window.Check1->setValue(1);
    window.chkextension->setValue(1);
    QApplication::processEvents();

    // The cancel, when asked for: a click posted at a yield is handled inside that yield.
    qint64 cancelRanAt = -1;
    int entriesAtCancel = 0;
    qint64 yieldsAtCancel = 0;
    YieldClock yields(clock);
    QObject::connect(window.cmdExit, &QPushButton::clicked, [&] {
        if (cancelRanAt < 0) {
            cancelRanAt = clock.nsecsElapsed();
            entriesAtCancel = window.lstFoundFiles->ListCount();
            yieldsAtCancel = yields.yields();
        }
    });
    qint64 pressedAt = 0;
    bool cancelPosted = false;
    // The folder the walk was entering at the yield that ended the largest gap: the gap holds
    // the reading of that folder and the listing of the folders finished just before.
    QString gapFolder;
    yields.onYield = [&](qint64 now) {
        if (yields.largestGapEndedAt() == now)
            gapFolder = window.dirList->Path();
        if (arguments.cancelAfter < 0 || cancelPosted ||
            seconds(now - pressedAt) < arguments.cancelAfter)
            return;
        cancelPosted = true;
        QMetaObject::invokeMethod(window.cmdExit, &QPushButton::click, Qt::QueuedConnection);
    };

    pressedAt = clock.nsecsElapsed();
    yields.start();
    window.cmdSearch->click();
    yields.stop();
    const qint64 returnedAt = yields.stoppedAt();

    const int entries = window.lstFoundFiles->ListCount();
    const QString fullList =
        desktop.firstBoxAt() >= 0
            ? QString::number(seconds(desktop.firstBoxAt() - pressedAt), 'f', 4)
            : QStringLiteral("-");
    std::printf("entries=%d search_s=%.4f full_list_s=%s max_gap_ms=%.2f gap_at_s=%.3f yields=%lld "
                "peak_rss_mb=%.1f",
                entries, seconds(returnedAt - pressedAt), qPrintable(fullList),
                double(yields.largestGapNs()) / 1e6,
                seconds(yields.largestGapEndedAt() - pressedAt), yields.yields(),
                peakRssMegabytes());
    if (arguments.cancelAfter >= 0) {
        if (cancelRanAt >= 0)
            std::printf(" cancel_at_s=%.3f cancel_to_return_ms=%.2f yields_after_cancel=%lld "
                        "entries_after_cancel=%d",
                        seconds(cancelRanAt - pressedAt), double(returnedAt - cancelRanAt) / 1e6,
                        yields.yields() - yieldsAtCancel, entries - entriesAtCancel);
        else
            std::printf(" cancel=not-reached");
    }
    // Last, as a path may hold blanks.
    std::printf(" gap_folder=%s\n",
                yields.largestGapEndedAt() == returnedAt ? "(the return)" : qPrintable(gapFolder));
    if (desktop.firstBoxAt() >= 0 && !desktop.firstPrompt().startsWith(QLatin1String("You've")))
        std::fprintf(stderr, "bench_search: message: %s\n", qPrintable(desktop.firstPrompt()));
    std::fflush(stdout);

    if (!arguments.entriesFile.isEmpty() &&
        !writeEntries(*window.lstFoundFiles, arguments.entriesFile)) {
        std::fprintf(stderr, "bench_search: cannot write %s\n", qPrintable(arguments.entriesFile));
        return 1;
    }
    // Leave at once: tearing the window down is not part of what is measured.
    std::_Exit(0);
}
