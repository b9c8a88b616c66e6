// How long the window's thread is busy at a stretch while the folder list shows a folder of
// very many subfolders, driven as a person drives it: the window starts on the folder's
// parent, the folder is opened with a double click, and once it shows, two subfolders are made
// inside it. Prints one line:
//
//   subfolders=N open_s=S open_max_gap_ms=G change_s=C change_max_gap_ms=H peak_rss_mb=M
//
// open_s runs from the double click until the list shows the folder, change_s from the first
// mkdir until both new folders show; each max gap is the largest time between two passes of
// the event loop meanwhile. The folder is made when missing (N subfolders named d000000...).
//
// Usage: bench_folders FOLDER [SUBFOLDERS]   (default 100000; offscreen unless told otherwise)

#include "app/ApplicationSetup.h"
#include "bench/YieldClock.h"
#include "core/folders/FolderRows.h"
#include "core/text/FileNames.h"
#include "support/UserInput.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

void makeSubfolders(const QString& folder, int count) {
    QDir().mkpath(folder);
    const QByteArray base = FileNames::encode(folder) + '/';
    for (int i = 0; i < count; ++i)
        ::mkdir((base + 'd' + QByteArray::number(i).rightJustified(6, '0')).constData(), 0755);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setUpApplication();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: bench_folders FOLDER [SUBFOLDERS]\n");
        return 2;
    }
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(arguments.at(1)));
    const int count = arguments.size() > 2 ? arguments.at(2).toInt() : 100000;
    if (QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() < count)
        makeSubfolders(folder, count);
    const QString parent = folder.left(folder.lastIndexOf(u'/'));
    const QString name = folder.mid(parent.size() + 1);

    MainWindow window;
    window.setFilesFolder(QDir::tempPath());
    window.load(parent);
    window.show();
    auto* view = window.findChild<FolderView*>(QStringLiteral("folderView"));
    auto* rows = static_cast<FolderRows*>(view->model());
    if (!UserInput::waitFor([&] { return view->shownFolder() == parent; }, 30000))
        return 1;
    const QModelIndexList found =
        rows->match(rows->index(0, 0), FolderRows::NameRole, name, 1, Qt::MatchExactly);
    if (found.isEmpty())
        return 1;
    view->scrollTo(found.first());
    const QPoint spot = view->viewport()->mapTo(&window, view->visualRect(found.first()).center());

    QElapsedTimer clock;
    clock.start();
    YieldClock opening(clock);
    opening.start();
    const qint64 clicked = clock.nsecsElapsed();
    UserInput::doubleClickAt(&window, spot);
    UserInput::waitFor([&] { return view->shownFolder() == folder; }, 120000);
    opening.stop();
    const double openSeconds = double(opening.stoppedAt() - clicked) / 1e9;

    YieldClock changing(clock);
    changing.start();
    const qint64 made = clock.nsecsElapsed();
    const QByteArray base = FileNames::encode(folder);
    ::mkdir((base + "/ny-1").constData(), 0755);
    ::mkdir((base + "/ny-2").constData(), 0755);
    UserInput::waitFor(
        [&] { return rows->rowOf(folder + "/ny-1") >= 0 && rows->rowOf(folder + "/ny-2") >= 0; },
        120000);
    changing.stop();
    ::rmdir((base + "/ny-1").constData());
    ::rmdir((base + "/ny-2").constData());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("subfolders=%d open_s=%.3f open_max_gap_ms=%.1f change_s=%.3f "
                "change_max_gap_ms=%.1f peak_rss_mb=%.1f\n",
                count, openSeconds, double(opening.largestGapNs()) / 1e6,
                double(changing.stoppedAt() - made) / 1e9, double(changing.largestGapNs()) / 1e6,
                double(usage.ru_maxrss) / 1024);
    return 0;
}
