// The run control and the chosen folder without a window: the states a person moves through
// and what each button does in each, the list's capacity, the checks before saving and opening,
// leaving, and the folder chosen, pending, refused, restored, gone, and shown a row at a time.

#include "core/folders/ChosenFolder.h"
#include "core/folders/FolderRows.h"
#include "core/run/ResultEntries.h"
#include "core/run/RunControl.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

using State = RunControl::State;

// Everything a run control says, as the window would hear it.
struct Heard {
    QStringList warnings, informations, saved, opened;
    int leaveAsked = 0, leaving = 0, ended = 0;
    explicit Heard(RunControl& control) {
        QObject::connect(&control, &RunControl::warned,
                         [this](const QString& t) { warnings << t; });
        QObject::connect(&control, &RunControl::informed,
                         [this](const QString& t, const QString&) { informations << t; });
        QObject::connect(&control, &RunControl::listSaved,
                         [this](const QString& t, const QString&, const QString&) { saved << t; });
        QObject::connect(&control, &RunControl::openRequested,
                         [this](const QString& f) { opened << f; });
        QObject::connect(&control, &RunControl::leaveAsked, [this] { ++leaveAsked; });
        QObject::connect(&control, &RunControl::leaving, [this] { ++leaving; });
        QObject::connect(&control, &RunControl::searchEnded, [this] { ++ended; });
    }
};

SearchOptions everything(bool subfolders = true) {
    SearchOptions options;
    options.pattern = QStringLiteral("*.txt");
    options.includeSubfolders = subfolders;
    return options;
}

// A run control started on `start`, its files kept in the tree's folder "files".
struct Started {
    RunControl control;
    Heard heard{control};
    Started(const TestTree& tree, const QString& start) {
        control.setFilesFolder(tree.folder("files"));
        control.start(start);
    }
};

bool shows(const ChosenFolder& chosen, const QString& folder) {
    return QTest::qWaitFor([&] { return chosen.rows()->folder() == folder && !chosen.isPending(); },
                           10000);
}

} // namespace

class CoreRunTest : public QObject {
    Q_OBJECT
private slots:
    // What a person chooses is the chosen folder at once, pending until its listing comes; one
    // that cannot be read is refused with its reason and the choice falls back to what shows.
    void aChoiceIsChosenAtOnceAndRefusedWithItsReason() {
        TestTree tree;
        tree.folder("A/inre");
        tree.folder("B");
        ChosenFolder chosen;
        QSignalSpy failed(&chosen, &ChosenFolder::failed);
        chosen.start(tree.path("A"), {});
        QVERIFY(shows(chosen, tree.path("A")));
        chosen.choose(tree.path("B"));
        QCOMPARE(chosen.folder(), tree.path("B"));
        QVERIFY(chosen.isPending());
        QVERIFY(shows(chosen, tree.path("B")));

        chosen.choose(tree.path("saknas"));
        QCOMPARE(chosen.folder(), tree.path("saknas"));
        QVERIFY(QTest::qWaitFor([&] { return !failed.isEmpty(); }, 10000));
        QCOMPARE(failed.first().at(1).toString(),
                 QStringLiteral("Sökvägen hittades inte: ") + tree.path("saknas"));
        QCOMPARE(chosen.folder(), tree.path("B"));
        QVERIFY(!chosen.isPending());
    }

    // At start: the folder asked for, else the saved one; a person's choice meanwhile wins.
    void startShowsTheFirstFolderThatAnswersUnlessAPersonChose() {
        TestTree tree;
        for (const char* name : {"start", "asked", "saved", "own"})
            tree.folder(QLatin1String(name));
        ChosenFolder chosen;
        QSignalSpy failed(&chosen, &ChosenFolder::failed);
        chosen.start(tree.path("start"), {tree.path("saknas"), tree.path("saved")});
        QVERIFY(shows(chosen, tree.path("saved")));
        QCOMPARE(chosen.folder(), tree.path("saved"));
        chosen.start(tree.path("start"), {tree.path("asked"), tree.path("saved")});
        QVERIFY(shows(chosen, tree.path("asked")));
        chosen.start(tree.path("start"), {tree.path("asked")});
        chosen.choose(tree.path("own"));
        QVERIFY(shows(chosen, tree.path("own")));
        QVERIFY(ProgramThreads::answersDelivered()); // the folder asked for answered too
        QCOMPARE(chosen.rows()->folder(), tree.path("own"));
        QCOMPARE(failed.size(), 0); // the program's own choices say nothing
    }

    // A shown folder that is removed gives way to its nearest parent, which is chosen then.
    void aShownFolderThatGoesGivesWayToItsParent() {
        TestTree tree;
        tree.folder("S/T/U");
        ChosenFolder chosen;
        chosen.start(tree.path("S/T/U"), {});
        QVERIFY(shows(chosen, tree.path("S/T/U")));
        QVERIFY(QDir(tree.path("S/T")).removeRecursively());
        QVERIFY(shows(chosen, tree.path("S")));
        QCOMPARE(chosen.folder(), tree.path("S"));
    }

    // A folder made or removed in the shown folder moves its own row; the rest stay as they
    // are, so that a folder of many subfolders is not shown anew.
    void aChangeMovesOnlyItsOwnRow() {
        TestTree tree;
        for (int i = 0; i < 300; ++i)
            tree.folder(QStringLiteral("S/m%1").arg(i, 3, 10, QLatin1Char('0')));
        ChosenFolder chosen;
        chosen.start(tree.path("S"), {});
        QVERIFY(shows(chosen, tree.path("S")));
        FolderRows* rows = chosen.rows();
        const int first = rows->currentRow() + 1;
        QCOMPARE(rows->rowCount(), first + 300);
        QSignalSpy reset(rows, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
        tree.folder("S/m150x");
        QVERIFY(QTest::qWaitFor([&] { return inserted.size() == 1; }, 10000));
        QCOMPARE(inserted.first().at(1).toInt(), first + 151);
        QCOMPARE(rows->pathAt(first + 151), tree.path("S/m150x"));
        QVERIFY(QDir(tree.path("S/m007")).removeRecursively());
        QVERIFY(QTest::qWaitFor([&] { return removed.size() == 1; }, 10000));
        QCOMPARE(removed.first().at(1).toInt(), first + 7);
        QCOMPARE(rows->rowCount(), first + 300);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(rows->rowOf(tree.path("S/m008")), first + 7);
    }

    // Options → Searching → Results → Options, and what the buttons do in each state.
    void theButtonsInEachState() {
        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/inre/b.txt");
        Started run(tree, tree.path("S"));
        RunControl& control = run.control;
        const Heard& heard = run.heard;
        QVERIFY(shows(control.chosenFolder(), tree.path("S")));

        control.escapePressed(); // nothing in the option state
        QCOMPARE(control.state(), State::Options);
        control.exitPressed(); // asks first
        QCOMPARE(heard.leaveAsked, 1);
        QCOMPARE(control.state(), State::Options);

        control.searchPressed(everything());
        QCOMPARE(control.state(), State::Searching);
        control.searchPressed(everything()); // one search at a time
        QVERIFY(QTest::qWaitFor([&] { return control.state() == State::Results; }, 10000));
        QCOMPARE(control.entries().entries(),
                 (QStringList{tree.path("S/inre/b.txt"), tree.path("S/a.txt")}));
        QCOMPARE(control.found(), 2);
        QCOMPARE(heard.ended, 1);

        control.chosenFolder().choose(tree.path("S/inre"));
        control.searchPressed(everything()); // "Ny sökning": back to the start folder
        QCOMPARE(control.state(), State::Options);
        QCOMPARE(control.entries().rowCount(), 0);
        QCOMPARE(control.found(), 0);
        QCOMPARE(control.chosenFolder().folder(), tree.path("S"));

        // Cancelled at once: the result state, with what came.
        control.searchPressed(everything());
        control.escapePressed();
        QCOMPARE(control.state(), State::Results);
        QCOMPARE(heard.ended, 2);
        QCOMPARE(heard.warnings, QStringList{});
    }

    // A full list stops the search with one message and keeps what it holds; a few hundred
    // files show it with the capacity set low.
    void aFullListStopsTheSearchOnce() {
        TestTree tree;
        for (int i = 0; i < 30; ++i)
            for (int j = 0; j < 10; ++j)
                tree.file(QStringLiteral("S/d%1/f%2.txt").arg(i).arg(j));
        Started run(tree, tree.path("S"));
        RunControl& control = run.control;
        control.entries().setCapacity(155);
        control.search().setEntriesWaitingLimit(20);
        QVERIFY(shows(control.chosenFolder(), tree.path("S")));
        control.searchPressed(everything());
        QVERIFY(QTest::qWaitFor([&] { return control.state() == State::Results; }, 10000));
        QCOMPARE(run.heard.informations, QStringList{RunControl::FullListMessage});
        QCOMPARE(control.entries().rowCount(), 155);
        QCOMPARE(control.found(), 155);
        QVERIFY(!control.search().isRunning());
    }

    // A start folder that cannot be read: its reason, the option state again, and it is not
    // the folder to save at the end.
    void aStartFolderThatCannotBeReadIsNotRemembered() {
        TestTree tree;
        tree.file("S/a.txt");
        tree.folder("gone");
        Started run(tree, tree.path("S"));
        RunControl& control = run.control;
        const Heard& heard = run.heard;
        QVERIFY(shows(control.chosenFolder(), tree.path("S")));
        control.searchPressed(everything());
        QVERIFY(QTest::qWaitFor([&] { return control.state() == State::Results; }, 10000));
        control.searchPressed(everything());
        control.chosenFolder().choose(tree.path("gone"));
        QVERIFY(QDir(tree.path("gone")).removeRecursively());
        control.searchPressed(everything());
        QVERIFY(QTest::qWaitFor([&] { return !heard.warnings.isEmpty(); }, 10000));
        QCOMPARE(control.state(), State::Options);
        QCOMPARE(heard.warnings.first(),
                 QStringLiteral("Sökvägen hittades inte: ") + tree.path("gone"));
        QCOMPARE(control.lastStartFolder(), tree.path("S"));
        // The refused choice's own listing says nothing more.
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(heard.warnings.size(), 1);
    }

    // Only an existing file is handed on to be opened; the list is saved whole and handed on.
    void theChecksBeforeOpeningAndSaving() {
        TestTree tree;
        const QString file = tree.file("S/a.txt");
        const QString files = tree.folder("files");
        RunControl control;
        control.setFilesFolder(files);
        Heard heard(control);
        control.entries().append({file, tree.path("S/borta.txt"), tree.path("S")});
        control.openEntry(0);
        QVERIFY(QTest::qWaitFor([&] { return heard.opened.size() == 1; }, 10000));
        QCOMPARE(heard.opened, QStringList{file});
        control.openEntry(1);
        QVERIFY(QTest::qWaitFor([&] { return heard.warnings.size() == 1; }, 10000));
        QCOMPARE(heard.warnings.last(),
                 QStringLiteral("Ett fel uppstod!\r\n53 - Filen hittades inte: ") +
                     tree.path("S/borta.txt"));
        control.openEntry(2);
        QVERIFY(QTest::qWaitFor([&] { return heard.warnings.size() == 2; }, 10000));
        QVERIFY2(heard.warnings.last().contains(tree.path("S")), qPrintable(heard.warnings.last()));
        QCOMPARE(heard.opened.size(), 1);

        control.saveList();
        QVERIFY(QTest::qWaitFor([&] { return heard.saved.size() == 1; }, 10000));
        QCOMPARE(heard.saved.first(), QStringLiteral("Fil sparad:\r\n") + files + "/lista.txt");
        QCOMPARE(
            readBytes(files + "/lista.txt"),
            (file + "\r\n" + tree.path("S/borta.txt") + "\r\n" + tree.path("S") + "\r\n").toUtf8());
    }

    // Every marked entry goes out, however many: "Öppna" checks each and hands on all that are
    // there, in list order, a few in each pass of the event loop, then reports the rest in one
    // message that names the first few and says how many. Thousands of entries take a moment,
    // not a read of the mount table each.
    void allMarkedEntriesAreOpenedAndTheMissingReportedTogether() {
        TestTree tree;
        constexpr int Count = 9000;
        QStringList files;
        for (int i = 0; i < Count; ++i)
            files.append(tree.file(QStringLiteral("S/d%1/f%2.txt").arg(i % 30).arg(i)));
        RunControl control;
        Heard heard(control);
        control.entries().append(files);
        QList<int> rows; // marked from the bottom up, as a person may
        for (int row = Count - 1; row >= 0; --row)
            rows.append(row);
        QCOMPARE(control.pathsAt(rows), files);
        QVERIFY(!RunControl::asksBeforeHandingOut(RunControl::MostWithoutAsking));
        QVERIFY(RunControl::asksBeforeHandingOut(RunControl::MostWithoutAsking + 1));

        QStringList gone, kept;
        for (int i = 0; i < Count; ++i) {
            if (i % 3 == 1) {
                QVERIFY(QFile::remove(files[i]));
                gone.append(files[i]);
            } else {
                kept.append(files[i]);
            }
        }
        int passes = 0;
        QTimer eachPass;
        connect(&eachPass, &QTimer::timeout, [&] { ++passes; });
        eachPass.start(0);
        QMap<int, int> openedInPass;
        connect(&control, &RunControl::openRequested, [&] { ++openedInPass[passes]; });
        qsizetype openedWhenReported = -1;
        connect(&control, &RunControl::warned, [&] { openedWhenReported = heard.opened.size(); });
        QSignalSpy reported(&control, &RunControl::warned);
        QElapsedTimer clock;
        clock.start();
        control.openEntries(rows);
        QVERIFY(reported.wait(60000));
        const qint64 took = clock.elapsed();
        eachPass.stop();
        QCOMPARE(heard.opened, kept);
        QCOMPARE(openedWhenReported, kept.size());
        QVERIFY(std::ranges::max(openedInPass) <= RunControl::HandedOnAtOnce);
        QCOMPARE(heard.warnings.size(), 1);
        QStringList report = {QStringLiteral("Ett fel uppstod!"),
                              QStringLiteral("3000 av 9000 filer kunde inte öppnas:")};
        for (int i = 0; i < RunControl::MostFailuresNamed; ++i)
            report.append(QStringLiteral("53 - Filen hittades inte: ") + gone[i]);
        report.append(QStringLiteral("och 2995 till."));
        QCOMPARE(heard.warnings.first(), report.join(QStringLiteral("\r\n")));
        QVERIFY2(took < 10000, qPrintable(QStringLiteral("%1 ms for 9000 entries").arg(took)));
        qInfo("9000 entries checked and handed on in %lld ms", took);

        // A few missing folders are each named, with the number of them; one alone as the
        // button reports it.
        control.entries().clear();
        control.entries().setKind(EntryPaths::Kind::Folder);
        const QStringList folders = {tree.path("S/d0"), tree.path("S/borta"), tree.path("S/d1"),
                                     tree.path("S/saknas")};
        control.entries().append(folders);
        heard.opened.clear();
        control.openEntries({0, 1, 2, 3});
        QVERIFY(QTest::qWaitFor([&] { return heard.warnings.size() == 2; }, 10000));
        QCOMPARE(heard.opened, (QStringList{folders[0], folders[2]}));
        QCOMPARE(heard.warnings.last(),
                 QStringLiteral("Ett fel uppstod!\r\n2 av 4 mappar kunde inte öppnas:\r\n"
                                "76 - Sökvägen hittades inte: ") +
                     folders[1] + QStringLiteral("\r\n76 - Sökvägen hittades inte: ") + folders[3]);
        control.openEntries({1});
        QVERIFY(QTest::qWaitFor([&] { return heard.warnings.size() == 3; }, 10000));
        QCOMPARE(heard.warnings.last(),
                 QStringLiteral("Ett fel uppstod!\r\n76 - Sökvägen hittades inte: ") + folders[1]);

        // Entries that name nothing go nowhere.
        control.entries().setKind(EntryPaths::Kind::Text);
        QVERIFY(control.pathsAt({0, 1}).isEmpty());
    }

    // Leaving: the windows are told first, then setup.ini holds the last start folder; without
    // a search it stays as it was.
    void leavingSavesTheLastStartFolder() {
        TestTree tree;
        tree.file("S/a.txt");
        const QString files = tree.folder("files");
        const QString setup = files + "/setup.ini";
        {
            RunControl control;
            control.setFilesFolder(files);
            Heard heard(control);
            tree.file("files/setup.ini", "/tidigare\r\n");
            control.leave();
            control.leave(); // a second ending, a signal after the close box: nothing more
            QCOMPARE(heard.leaving, 1);
            QCOMPARE(readBytes(setup), QByteArray("/tidigare\r\n"));
        }
        RunControl control;
        control.setFilesFolder(files);
        QString savedWhenLeaving;
        connect(&control, &RunControl::leaving, [&] { savedWhenLeaving = readBytes(setup); });
        control.start(tree.path("S"));
        QVERIFY(shows(control.chosenFolder(), tree.path("S")));
        control.searchPressed(everything());
        control.leave(); // during the search
        QCOMPARE(savedWhenLeaving, QStringLiteral("/tidigare\r\n"));
        QCOMPARE(readBytes(setup), (tree.path("S") + "\r\n").toUtf8());
        QVERIFY(!control.search().isRunning());
    }
};

QTEST_GUILESS_MAIN(CoreRunTest)
#include "test_core_run.moc"
