// One timed search through the real main window, driven as a person drives it: the window is
// shown on the start folder, the pattern typed, "Inkludera undermappar" ticked and the search
// button clicked; the search ends when the window shows its result state. Prints one line:
//
//   entries=N search_s=S first_entry_s=F full_list_s=L max_gap_ms=G max_gap_end_s=E
//   peak_rss_mb=M cpu_s=C window_cpu_s=W list_updates=U paints=P read_threads=R
//
// first_entry_s is when the first entry reached the list and full_list_s when the full-list
// message came up ("-" when there was none); max_gap_ms is the largest time between two passes
// of the event loop from the click to the end, max_gap_end_s when it ended. cpu_s is the processor
// time all threads of the process spent from the click to the end, window_cpu_s the part of it on
// the window's thread (taking in the entries, painting); list_updates counts the times entries were
// added to the list, paints the times the list's rows were painted; read_threads how many threads
// read folders (the walk's own included), as the read depth chose them.
//
// With --cancel-after, "Avbryt" is clicked that many seconds after the search button, and the
// line adds cancel_ms (from that click to the result state) and entries_after_cancel (entries
// added after the click: should be 0). With --clock-marks, it adds the click and the end on
// CLOCK_MONOTONIC (clicked_at, ended_at, in seconds), the clock of `perf record -k
// CLOCK_MONOTONIC`, so that a profile can be cut to the search (bench/profile.sh). --readers
// sets the threads that read ahead of the walk (Search::setReadAheadThreads) instead of the
// read depth's choice, --reads-per-volume the read gate's limit: to compare depths.
//
// The program's kept listings are loaded at start from $XDG_CACHE_HOME/trovan, as the program
// loads them, before the pattern is typed; the line adds kept_load_s (from the start to the
// listings loaded), folders_read and folders_kept (of the measured search: the folders read, and
// those whose kept listings were used). With --first PATTERN0, a search for PATTERN0 runs to its
// end first and "Ny sökning" is pressed, and the search measured is the second: a repeated
// search of the same tree. Before it exits, the benchmark waits until what the searches read is
// kept in the cache folder.
//
// Usage: bench_search START PATTERN [--entries FILE] [--cancel-after SECONDS] [--clock-marks]
//                     [--readers N] [--reads-per-volume N] [--first PATTERN0]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/ApplicationSetup.h"
#include "bench/YieldClock.h"
#include "core/kept/KeptListings.h"
#include "core/run/ResultEntries.h"
#include "core/run/RunControl.h"
#include "core/text/FileNames.h"
#include "core/threads/ReadGate.h"
#include "core/walk/Search.h"
#include "support/UserInput.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"
#include "ui/ResultList.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Arguments {
    QString start;
    QString pattern;
    QString entriesFile;
    double cancelAfter = -1;
    bool clockMarks = false;
    int readers = -1;
    int readsPerVolume = -1;
    QString firstPattern;
};

bool parse(const QStringList& arguments, Arguments& parsed) {
    QStringList positional;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--entries") && i + 1 < arguments.size())
            parsed.entriesFile = arguments.at(++i);
        else if (argument == QLatin1String("--cancel-after") && i + 1 < arguments.size())
            parsed.cancelAfter = arguments.at(++i).toDouble();
        else if (argument == QLatin1String("--clock-marks"))
            parsed.clockMarks = true;
        else if (argument == QLatin1String("--readers") && i + 1 < arguments.size())
            parsed.readers = arguments.at(++i).toInt();
        else if (argument == QLatin1String("--reads-per-volume") && i + 1 < arguments.size())
            parsed.readsPerVolume = arguments.at(++i).toInt();
        else if (argument == QLatin1String("--first") && i + 1 < arguments.size())
            parsed.firstPattern = arguments.at(++i);
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

// Counts the paint events of the widget it watches.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

double clockSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Waits until the keeper has done all it was asked.
void settle(KeptListings& kept) {
    std::atomic<bool> settled{false};
    kept.whenSettled([&] { settled = true; });
    UserInput::waitFor([&] { return settled.load(); }, 600000);
}

// A search run to its end as a person runs one: the pattern typed, the button clicked.
void searchFor(MainWindow& window, const QString& pattern) {
    UserInput::click(&window, QStringLiteral("patternBox"));
    UserInput::key(&window, Qt::Key_A, Qt::ControlModifier);
    UserInput::type(&window, pattern);
    UserInput::click(&window, QStringLiteral("searchButton"));
}

QString secondsOrDash(qint64 nanoseconds) {
    return nanoseconds < 0 ? QStringLiteral("-")
                           : QString::number(double(nanoseconds) / 1e9, 'f', 4);
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
                             "[--cancel-after SECONDS] [--clock-marks] [--readers N] "
                             "[--reads-per-volume N] [--first PATTERN0]\n");
        return 2;
    }

    QElapsedTimer sinceStart;
    sinceStart.start();
    MainWindow window;
    window.setFilesFolder(QDir::tempPath());
    if (arguments.readers >= 0)
        window.control().search().setReadAheadThreads(arguments.readers);
    if (arguments.readsPerVolume > 0)
        ReadGate::shared().setReadsPerVolume(arguments.readsPerVolume);
    window.load(arguments.start);
    window.show();
    auto* folderView = window.findChild<FolderView*>(QStringLiteral("folderView"));
    auto* results = window.findChild<ResultList*>(QStringLiteral("resultList"));
    if (!UserInput::waitFor([&] { return folderView->shownFolder() == arguments.start; }, 30000)) {
        std::fprintf(stderr, "bench_search: cannot open %s\n", qPrintable(arguments.start));
        return 1;
    }
    // The full-list message is answered as soon as it is up.
    QElapsedTimer clock;
    qint64 fullListAt = -1;
    bool measuring = false;
    QTimer messages;
    QObject::connect(&messages, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (measuring && fullListAt < 0)
                fullListAt = clock.nsecsElapsed();
            box->accept();
        }
    });
    messages.start(1);

    KeptListings& kept = window.control().keptListings();
    settle(kept);
    const double keptLoadSeconds = double(sinceStart.nsecsElapsed()) / 1e9;
    UserInput::click(&window, QStringLiteral("includeSubfolders"));
    if (!arguments.firstPattern.isEmpty()) {
        searchFor(window, arguments.firstPattern);
        UserInput::waitFor(
            [&] {
                return window.state() == MainWindow::State::Results &&
                       !QApplication::activeModalWidget();
            },
            24 * 3600 * 1000);
        settle(kept);
        // A message box that went leaves the window to be made active again, as a person's
        // click on it does.
        window.activateWindow();
        UserInput::waitFor([&] { return QApplication::activeWindow() == &window; });
        UserInput::click(&window, QStringLiteral("searchButton")); // "Ny sökning"
        UserInput::waitFor([&] { return window.state() == MainWindow::State::Options; });
    }
    UserInput::click(&window, QStringLiteral("patternBox"));
    UserInput::key(&window, Qt::Key_A, Qt::ControlModifier);
    UserInput::type(&window, arguments.pattern);
    QApplication::processEvents();

    clock.start();
    measuring = true;
    YieldClock passes(clock);
    qint64 firstEntryAt = -1, cancelAt = -1, endedAt = -1;
    int listUpdates = 0;
    qsizetype entriesAtCancel = 0;
    QObject::connect(static_cast<QListView*>(results)->model(), &QAbstractItemModel::rowsInserted,
                     [&] {
                         ++listUpdates;
                         if (firstEntryAt < 0)
                             firstEntryAt = clock.nsecsElapsed();
                     });
    QObject::connect(&window, &MainWindow::searchEnded, [&] {
        if (endedAt < 0)
            endedAt = clock.nsecsElapsed();
    });
    if (arguments.cancelAfter >= 0) {
        QTimer::singleShot(int(arguments.cancelAfter * 1000), [&] {
            cancelAt = clock.nsecsElapsed();
            entriesAtCancel = window.control().entries().rowCount();
            UserInput::click(&window, QStringLiteral("exitButton"));
        });
    }

    PaintCounter paints;
    results->viewport()->installEventFilter(&paints);
    const double clickedAt = clockSeconds(CLOCK_MONOTONIC);
    const double processCpuAtClick = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double windowCpuAtClick = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    const qint64 pressedAt = clock.nsecsElapsed();
    passes.start();
    UserInput::click(&window, QStringLiteral("searchButton"));
    UserInput::waitFor(
        [&] { return endedAt >= 0 && (fullListAt < 0 || !QApplication::activeModalWidget()); },
        24 * 3600 * 1000);
    passes.stop();
    results->viewport()->removeEventFilter(&paints);
    const double processCpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuAtClick;
    const double windowCpu = clockSeconds(CLOCK_THREAD_CPUTIME_ID) - windowCpuAtClick;
    const double endedAtClock = clockSeconds(CLOCK_MONOTONIC);

    std::printf("entries=%lld search_s=%s first_entry_s=%s full_list_s=%s max_gap_ms=%.2f "
                "max_gap_end_s=%.4f peak_rss_mb=%.1f cpu_s=%.4f window_cpu_s=%.4f list_updates=%d "
                "paints=%d "
                "read_threads=%d kept_load_s=%.4f folders_read=%zu folders_kept=%zu",
                qlonglong(window.control().entries().rowCount()),
                qPrintable(secondsOrDash(endedAt - pressedAt)),
                qPrintable(secondsOrDash(firstEntryAt < 0 ? -1 : firstEntryAt - pressedAt)),
                qPrintable(secondsOrDash(fullListAt < 0 ? -1 : fullListAt - pressedAt)),
                double(passes.largestGapNs()) / 1e6,
                double(passes.largestGapEndedAt() - pressedAt) / 1e9, peakRssMegabytes(),
                processCpu, windowCpu, listUpdates, paints.count,
                window.control().search().lastReadThreads(), keptLoadSeconds,
                window.control().search().lastFoldersRead(),
                window.control().search().lastFoldersKept());
    if (arguments.clockMarks)
        std::printf(" clicked_at=%.6f ended_at=%.6f", clickedAt, endedAtClock);
    if (arguments.cancelAfter >= 0) {
        if (cancelAt >= 0)
            std::printf(" cancel_ms=%.2f entries_after_cancel=%lld",
                        double(endedAt - cancelAt) / 1e6,
                        qlonglong(window.control().entries().rowCount() - entriesAtCancel));
        else
            std::printf(" cancel=not-reached");
    }
    std::printf("\n");
    std::fflush(stdout);

    if (!arguments.entriesFile.isEmpty()) {
        QFile file(arguments.entriesFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        for (const QString& entry : window.control().entries().entries())
            file.write(FileNames::encode(entry) + '\n');
        file.flush();
    }
    // What was read is kept for the next run; then leave at once: tearing the window down, or a
    // walk still blocked, is not measured.
    if (arguments.cancelAfter < 0)
        settle(kept);
    _exit(0);
}
