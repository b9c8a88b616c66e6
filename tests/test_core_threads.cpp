// The threads room on its own, without a search around it: the read gate's bounds and its
// waiters letting go, the mailbox dropping what comes after its receiver is gone, and a newer
// ticket calling an older request off at the gate.

#include "core/threads/Mailbox.h"
#include "core/threads/NewestWins.h"
#include "core/threads/ReadGate.h"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

// A thread that asks the gate for one place, and says when it is waiting and whether it got in.
// It is waiting once `calledOff` has been looked at: the gate looks at it before each wait.
struct Asker {
    std::atomic<int> looks{0};
    std::atomic<int> entered{-1}; // -1 still asking, 0 gave up, 1 got in
    std::atomic<bool> giveUp{false};
    std::atomic<bool> leave{false};
    std::thread thread;

    explicit Asker(
        ReadGate& gate, ReadGate::Place place, std::function<bool()> stale = [] { return false; }) {
        thread = std::thread([this, &gate, place, stale = std::move(stale)] {
            const bool in = gate.enter(place, [&] {
                ++looks;
                return giveUp.load() || stale();
            });
            entered = in ? 1 : 0;
            if (!in)
                return;
            while (!leave.load())
                std::this_thread::yield();
            gate.leave(place);
        });
    }
    ~Asker() {
        leave = true;
        giveUp = true;
        thread.join();
    }
    // Waiting at the gate: it has looked at its call-off and is neither in nor gone.
    bool waits() {
        return QTest::qWaitFor([&] { return looks > 0; }, 5000) && entered == -1;
    }
    bool gotIn() {
        return QTest::qWaitFor([&] { return entered == 1; }, 5000);
    }
    bool gaveUp() {
        return QTest::qWaitFor([&] { return entered == 0; }, 5000);
    }
};

constexpr uint64_t VolumeA = 1, VolumeB = 2;

} // namespace

class CoreThreadsTest : public QObject {
    Q_OBJECT
private slots:
    // Two reads on a volume at most, here: a third waits until one leaves, while a read on
    // another volume goes at once; a folder being read is not read by a second thread even with
    // room on its volume.
    void theGateBoundsReadsPerVolumeAndPerFolder() {
        ReadGate gate;
        gate.setReadsPerVolume(2);
        {
            Asker first(gate, {VolumeA, 10}), second(gate, {VolumeA, 11});
            QVERIFY(first.gotIn());
            QVERIFY(second.gotIn());
            Asker third(gate, {VolumeA, 12});
            QVERIFY(third.waits());
            Asker elsewhere(gate, {VolumeB, 20});
            QVERIFY(elsewhere.gotIn());
            QCOMPARE(gate.readsUnderWay(), 3);
            QCOMPARE(third.entered.load(), -1);
            first.leave = true;
            QVERIFY(third.gotIn());
        }
        QCOMPARE(gate.readsUnderWay(), 0);

        Asker reader(gate, {VolumeA, 30});
        QVERIFY(reader.gotIn());
        Asker sameFolder(gate, {VolumeA, 30});
        QVERIFY(sameFolder.waits());
        QCOMPARE(gate.readsUnderWay(), 1);
        reader.leave = true;
        QVERIFY(sameFolder.gotIn());
    }

    // A waiter whose caller no longer wants the answer gives up at the next wake, and leaves no
    // count behind; one whose request a newer ticket made stale gives up as the ticket is taken.
    void aStaleWaiterIsLetGo() {
        ReadGate& gate = ReadGate::shared();
        gate.setReadsPerVolume(1);
        const int before = gate.readsUnderWay();
        Asker holder(gate, {VolumeA, 40});
        QVERIFY(holder.gotIn());

        Asker calledOff(gate, {VolumeA, 41});
        QVERIFY(calledOff.waits());
        calledOff.giveUp = true;
        gate.wake();
        QVERIFY(calledOff.gaveUp());

        NewestWins listings;
        const NewestWins::Ticket older = listings.next();
        Asker stale(gate, {VolumeA, 42}, [older] { return older.isStale(); });
        QVERIFY(stale.waits());
        const NewestWins::Ticket newer = listings.next();
        QVERIFY(stale.gaveUp());
        QVERIFY(older.isStale());
        QVERIFY(!newer.isStale());
        listings.dropAll();
        QVERIFY(newer.isStale());

        holder.leave = true;
        QVERIFY(QTest::qWaitFor([&] { return gate.readsUnderWay() == before; }, 5000));
        gate.setReadsPerVolume(ReadGate::DefaultReadsPerVolume);
    }

    // Work posted from a thread arrives on the receiver's, in order; what was posted but not yet
    // delivered when the receiver closes its mailbox never runs, nor what is posted after.
    void theMailboxDeliversInOrderAndDropsWhatComesAfterClose() {
        QObject receiver;
        const std::shared_ptr<Mailbox> mailbox = Mailbox::to(&receiver);
        QList<int> delivered;
        std::thread([&] {
            for (int i = 0; i < 100; ++i)
                mailbox->post([&delivered, i] {
                    QCOMPARE(QThread::currentThread(), qApp->thread());
                    delivered.append(i);
                });
        }).join();
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 100; }, 5000));
        for (int i = 0; i < 100; ++i)
            QCOMPARE(delivered[i], i);

        bool ranLate = false;
        std::thread([&] { mailbox->post([&] { ranLate = true; }); }).join();
        mailbox->close(); // posted, not yet delivered: the receiver is going
        std::thread([&] { mailbox->post([&] { ranLate = true; }); }).join();
        // A post that comes after close still wakes the receiver's thread if it would run: one
        // made on a fresh mailbox proves the event loop has turned past them both.
        QObject other;
        const std::shared_ptr<Mailbox> fresh = Mailbox::to(&other);
        bool freshRan = false;
        fresh->post([&] { freshRan = true; });
        QVERIFY(QTest::qWaitFor([&] { return freshRan; }, 5000));
        QCoreApplication::processEvents();
        QVERIFY(!ranLate);
    }
};

QTEST_GUILESS_MAIN(CoreThreadsTest)
#include "test_core_threads.moc"
