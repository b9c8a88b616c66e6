// The about window: its picture as embedded, its layout, the version it shows, the ways it
// closes, its modality over the main window (also from inside a running search), and the
// program's icon.

#include "about/frmom.h"
#include "platform/App.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"

#include <QFile>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <set>

namespace {

// What a GIF file holds, read block by block; the image data decoded to colour indices.
struct GifContents {
    QByteArray signature;
    int width = 0, height = 0;
    int globalTableEntries = 0; // 0: none
    QList<QColor> globalTable;
    std::optional<int> transparentIndex;
    QByteArrayList comments;
    int frames = 0;
    QRect frame;
    bool interlaced = false;
    bool localTable = false;
    std::vector<int> indices; // of the first frame
    bool trailer = false;
    QString error;
};

class ByteReader {
public:
    explicit ByteReader(const QByteArray& bytes) : m_bytes(bytes) {}
    bool atEnd() const { return m_at >= m_bytes.size(); }
    int byte() { return m_at < m_bytes.size() ? quint8(m_bytes[m_at++]) : -1; }
    int word() {
        const int low = byte();
        return low | (byte() << 8);
    }
    QByteArray take(int count) {
        const QByteArray part = m_bytes.mid(m_at, count);
        m_at += count;
        return part;
    }
    QByteArray subBlocks() {
        QByteArray data;
        for (int length = byte(); length > 0; length = byte())
            data += take(length);
        return data;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

// GIF's variable-width LZW, as a reader would undo it.
std::vector<int> decodeLzw(const QByteArray& data, int minimumCodeSize, QString& error) {
    const int clearCode = 1 << minimumCodeSize;
    const int endCode = clearCode + 1;
    std::vector<std::vector<int>> table;
    int codeSize = 0;
    auto reset = [&] {
        table.clear();
        for (int i = 0; i < clearCode + 2; ++i)
            table.push_back({i});
        codeSize = minimumCodeSize + 1;
    };
    reset();
    std::vector<int> out;
    qsizetype bit = 0;
    int previous = -1;
    while (bit + codeSize <= data.size() * 8) {
        int code = 0;
        for (int k = 0; k < codeSize; ++k, ++bit)
            code |= ((quint8(data[bit / 8]) >> (bit % 8)) & 1) << k;
        if (code == clearCode) {
            reset();
            previous = -1;
            continue;
        }
        if (code == endCode)
            return out;
        std::vector<int> entry;
        if (code < int(table.size()))
            entry = table[std::size_t(code)];
        else if (code == int(table.size()) && previous >= 0) {
            entry = table[std::size_t(previous)];
            entry.push_back(entry.front());
        } else {
            error = QStringLiteral("bad LZW code %1").arg(code);
            return out;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (previous >= 0 && table.size() < 4096) {
            std::vector<int> added = table[std::size_t(previous)];
            added.push_back(entry.front());
            table.push_back(std::move(added));
        }
        previous = code;
        if (int(table.size()) == (1 << codeSize) && codeSize < 12)
            ++codeSize;
    }
    error = QStringLiteral("LZW data without an end code");
    return out;
}

GifContents readGif(const QByteArray& bytes) {
    GifContents gif;
    ByteReader in(bytes);
    gif.signature = in.take(6);
    gif.width = in.word();
    gif.height = in.word();
    const int packed = in.byte();
    in.byte(); // background
    in.byte(); // aspect ratio
    if (packed & 0x80) {
        gif.globalTableEntries = 2 << (packed & 7);
        for (int i = 0; i < gif.globalTableEntries; ++i) {
            const int r = in.byte(), g = in.byte(), b = in.byte();
            gif.globalTable.append(QColor(r, g, b));
        }
    }
    while (!in.atEnd()) {
        const int introducer = in.byte();
        if (introducer == 0x3b) {
            gif.trailer = in.atEnd();
            break;
        }
        if (introducer == 0x21) {
            const int label = in.byte();
            const QByteArray data = in.subBlocks();
            if (label == 0xf9 && data.size() == 4 && (quint8(data[0]) & 1))
                gif.transparentIndex = quint8(data[3]);
            if (label == 0xfe)
                gif.comments.append(data);
            continue;
        }
        if (introducer != 0x2c) {
            gif.error = QStringLiteral("unknown block %1").arg(introducer);
            break;
        }
        ++gif.frames;
        const int left = in.word(), top = in.word(), width = in.word(), height = in.word();
        const int framePacked = in.byte();
        gif.localTable = gif.localTable || (framePacked & 0x80);
        gif.interlaced = gif.interlaced || (framePacked & 0x40);
        if (framePacked & 0x80)
            in.take(3 * (2 << (framePacked & 7)));
        const int minimumCodeSize = in.byte();
        const QByteArray data = in.subBlocks();
        if (gif.frames == 1) {
            gif.frame = QRect(left, top, width, height);
            gif.indices = decodeLzw(data, minimumCodeSize, gif.error);
        }
    }
    return gif;
}

QRect pixels(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QPoint centreInWindow(const QWidget* widget) {
    return widget->mapTo(widget->window(), widget->rect().center());
}

// Input as the window system delivers it, so that a modal window blocks it as it would the
// user's.
void clickAsUser(QWidget* widget) {
    QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, {}, centreInWindow(widget));
}
void keyAsUser(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window->windowHandle(), key, modifiers);
}

// Records the version label as it is when an about window is first shown.
class ShowWatcher : public QObject {
public:
    ShowWatcher() { qApp->installEventFilter(this); }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    QStringList versionsShown;
    QList<QPointer<frmom>> windowsShown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* about = qobject_cast<frmom*>(watched)) {
                versionsShown.append(about->lblversion->Caption());
                windowsShown.append(about);
            }
        }
        return false;
    }
};

// What happened while the about window was open.
struct WhileOpen {
    bool reached = false;   // the window was open
    bool modal = false;     // and modal to the whole program
    bool stillOpen = false; // the action did not close it (it was closed by force)
};

frmom* shownAboutWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* about = qobject_cast<frmom*>(widget); about && about->isVisible())
            return about;
    return nullptr;
}

// Once the about window is open, runs `act` on it; whatever `act` does, the window is gone
// afterwards, so that a failing case ends instead of hanging.
void whileAboutOpen(WhileOpen& result, std::function<void(frmom*)> act) {
    QTimer::singleShot(0, [&result, act] {
        QPointer<frmom> about = shownAboutWindow();
        if (!about)
            return;
        result.reached = true;
        result.modal = QApplication::activeModalWidget() == about;
        if (!QTest::qWaitForWindowActive(about))
            qWarning("the about window did not become active");
        act(about);
        if (about && about->isVisible()) {
            result.stillOpen = true;
            about->hide();
        }
    });
}

int countPixels(const QImage& image, const std::function<bool(const QColor&)>& matches) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() == 255 && matches(image.pixelColor(x, y)))
                ++count;
    return count;
}

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT
private slots:
    void pictureFileAsEmbedded() {
        QFile file(QStringLiteral(":/trovan/about.gif"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const GifContents gif = readGif(file.readAll());
        QCOMPARE(gif.error, QString());
        QCOMPARE(gif.signature, QByteArray("GIF89a"));
        QCOMPARE(gif.width, 404);
        QCOMPARE(gif.height, 78);
        QCOMPARE(gif.globalTableEntries, 256);
        QCOMPARE(gif.frames, 1);
        QCOMPARE(gif.frame, QRect(0, 0, 404, 78));
        QVERIFY(!gif.interlaced);
        QVERIFY(!gif.localTable);
        QVERIFY(gif.trailer);
        QCOMPARE(gif.transparentIndex, std::optional<int>(0));
        QCOMPARE(gif.comments.size(), 1);
        QVERIFY(!gif.comments.first().trimmed().isEmpty());

        QCOMPARE(gif.indices.size(), std::size_t(404 * 78));
        const std::set<int> used(gif.indices.begin(), gif.indices.end());
        QCOMPARE(used.size(), std::size_t(25));
        QVERIFY(used.count(0));
        // The corners are background, so transparent.
        for (int at : {0, 403, 77 * 404, 77 * 404 + 403})
            QCOMPARE(gif.indices[std::size_t(at)], 0);
    }

    void pictureIsASymmetricBlueOrnament() {
        QFile file(QStringLiteral(":/trovan/about.gif"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const GifContents gif = readGif(file.readAll());
        QCOMPARE(gif.indices.size(), std::size_t(404 * 78));
        for (int y = 0; y < 78; ++y)
            for (int x = 0; x < 202; ++x)
                QCOMPARE(gif.indices[std::size_t(y * 404 + x)],
                         gif.indices[std::size_t(y * 404 + 403 - x)]);
        const std::set<int> used(gif.indices.begin(), gif.indices.end());
        for (int index : used) {
            if (index == 0)
                continue;
            const QColor colour = gif.globalTable[index];
            QVERIFY2(colour.blue() > colour.red() && colour.blue() >= colour.green(),
                     qPrintable(colour.name()));
        }
        // The ornament fills a good part of the picture, and the middle column (the sphere
        // over the meeting bands) is drawn over much of the height.
        const auto drawn = std::count_if(gif.indices.begin(), gif.indices.end(),
                                         [](int index) { return index != 0; });
        QVERIFY(drawn > 404 * 78 / 8);
        int middle = 0;
        for (int y = 0; y < 78; ++y)
            middle += gif.indices[std::size_t(y * 404 + 201)] != 0;
        QVERIFY(middle > 78 / 2);
    }

    void windowAsDesigned() {
        frmom about;
        QCOMPARE(about.Caption(), QStringLiteral("Om..."));
        QCOMPARE(about.size(), QSize(424, 197));
        QVERIFY(about.windowFlags().testFlag(Qt::Tool));
        QVERIFY(about.windowIcon().isNull());
        QCOMPARE(about.Command1->geometry(), pixels(5520, 2520, 735, 375));
        QCOMPARE(about.Label4->geometry(), pixels(120, 2400, 6135, 60));
        QCOMPARE(about.lblversion->geometry(), pixels(5640, 1680, 615, 255));
        QCOMPARE(about.Label3->geometry(), pixels(120, 2040, 6135, 60));
        QCOMPARE(about.Label2->geometry(), pixels(120, 2160, 6015, 255));
        QCOMPARE(about.Label1->geometry(), pixels(120, 1080, 6135, 1095));
        QCOMPARE(about.Image1->geometry(), pixels(120, 0, 6060, 1170));

        QCOMPARE(about.Command1->Caption(), QStringLiteral("&OK"));
        QVERIFY(about.Command1->isDefault());
        QVERIFY(about.Command1->Cancel());
        QCOMPARE(about.lblversion->Caption(), QStringLiteral("v1.0"));
        QCOMPARE(about.Label1->Caption(), QStringLiteral("Trovan"));
        QVERIFY(about.Label2->Caption().contains(QStringLiteral("2003")));
        QVERIFY(about.Label2->Caption().contains(QStringLiteral("Trovan")));
        const QColor highlight = about.palette().color(QPalette::Highlight);
        QCOMPARE(about.Label3->BackColor(), highlight);
        QCOMPARE(about.Label4->BackColor(), highlight);

        QCOMPARE(about.Label1->font().family(), QStringLiteral("Arial"));
        QCOMPARE(about.Label1->font().pixelSize(), 64);
        QVERIFY(!about.Label1->font().bold());
        QCOMPARE(about.lblversion->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(about.lblversion->font().pixelSize(), 11);

        // An earlier control lies above a later one where they overlap.
        const QRect version = about.lblversion->geometry();
        QCOMPARE(about.childAt(version.center()), about.lblversion);
        QVERIFY(about.Label1->geometry().contains(version));
        const QRect pictureUnderName = about.Image1->geometry() & about.Label1->geometry();
        QCOMPARE(pictureUnderName.height(), 6);
        QCOMPARE(about.childAt(pictureUnderName.center()), about.Label1);
        QCOMPARE(about.childAt(QPoint(202, 20)), about.Image1);

        // The picture at its own size, its transparent colour letting the window through.
        const QPixmap picture = about.Image1->Picture();
        QCOMPARE(picture.size(), QSize(404, 78));
        QCOMPARE(picture.size(), about.Image1->size());
        QCOMPARE(picture.toImage().pixelColor(0, 0).alpha(), 0);
    }

    void textsFitTheirControls() {
        frmom about;
        about.lblversion->setCaption(QStringLiteral("v1.10"));
        for (Label* label : {about.Label1, about.Label2, about.lblversion}) {
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(label->Caption()) <= label->width(),
                     qPrintable(label->Caption()));
            QVERIFY2(metrics.height() <= label->height(), qPrintable(label->Caption()));
        }
        // The version stands to the right of the centred name, not over it.
        const QFontMetrics name(about.Label1->font());
        const int nameRight =
            about.Label1->x() + (about.Label1->width() + name.horizontalAdvance("Trovan")) / 2;
        QVERIFY(nameRight < about.lblversion->x());
        const QFontMetrics button(about.Command1->font());
        QVERIFY(button.horizontalAdvance(QStringLiteral("OK")) < about.Command1->width() - 8);
    }

    void opensModallyWithTheProgramsVersion() {
        TestWindow window;
        ShowWatcher watcher;
        QVERIFY(!window->aboutWindow());
        WhileOpen open;
        bool modalToAll = false;
        QString versionWhileOpen;
        whileAboutOpen(open, [&](frmom* about) {
            modalToAll = about->windowModality() == Qt::ApplicationModal &&
                         about->parentWidget() == nullptr && window->aboutWindow() == about;
            versionWhileOpen = about->lblversion->Caption();
            keyAsUser(about, Qt::Key_Return);
        });
        window->Command3_Click();
        QVERIFY(open.reached);
        QVERIFY(open.modal);
        QVERIFY(!open.stillOpen);
        QVERIFY(modalToAll);
        const QString expected = QStringLiteral("v%1.%2").arg(App::Major()).arg(App::Minor());
        QCOMPARE(expected, QStringLiteral("v1.1"));
        QCOMPARE(versionWhileOpen, expected);
        QCOMPARE(watcher.versionsShown, QStringList{expected});
        // Unloaded: the window is gone, not merely hidden.
        QVERIFY(!window->aboutWindow());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(watcher.windowsShown.size(), 1);
        QVERIFY(watcher.windowsShown.first().isNull());
    }

    void secondOpeningLoadsAFreshWindow() {
        TestWindow window;
        ShowWatcher watcher;
        for (int opening = 0; opening < 2; ++opening) {
            WhileOpen open;
            whileAboutOpen(open, [](frmom* about) { keyAsUser(about, Qt::Key_Escape); });
            window->Command3_Click();
            QVERIFY(open.reached);
            QVERIFY(!open.stillOpen);
            QVERIFY(!window->aboutWindow());
        }
        QCOMPARE(watcher.versionsShown, (QStringList{"v1.1", "v1.1"}));
        QCOMPARE(watcher.windowsShown.size(), 2);
        QVERIFY(watcher.windowsShown[0].isNull());
        QVERIFY(watcher.windowsShown[1].isNull());
    }

    void closes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("OK") << "OK";
        QTest::newRow("close box") << "close box";
    }
    void closes() {
        QFETCH(QString, how);
        TestWindow window;
        WhileOpen open;
        whileAboutOpen(open, [&](frmom* about) {
            if (how == "Enter")
                keyAsUser(about, Qt::Key_Return);
            else if (how == "Esc")
                keyAsUser(about, Qt::Key_Escape);
            else if (how == "OK")
                clickAsUser(about->Command1);
            else
                about->windowHandle()->close(); // as the window system's close box does
        });
        window->Command3_Click();
        QVERIFY(open.reached);
        QVERIFY(!open.stillOpen);
        QVERIFY(!window->aboutWindow());
        QVERIFY(window.desktop.boxes.empty());
        QCOMPARE(window.desktop.ends, 0);
    }

    void otherInputLeavesItOpen() {
        TestWindow window;
        WhileOpen open;
        bool stayed = false;
        whileAboutOpen(open, [&](frmom* about) {
            for (Qt::Key key : {Qt::Key_Tab, Qt::Key_A, Qt::Key_F4, Qt::Key_V})
                keyAsUser(about, key);
            keyAsUser(about, Qt::Key_V, Qt::AltModifier);
            clickAsUser(about->Label1);
            clickAsUser(about->Image1);
            stayed = about->isVisible();
        });
        window->Command3_Click();
        QVERIFY(open.reached);
        QVERIFY(stayed);
        QVERIFY(window.desktop.boxes.empty());
    }

    void mainWindowIgnoresInputMeanwhile() {
        TestTree tree;
        tree.file(QStringLiteral("a.txt"));
        TestWindow window;
        window->dirList->setPath(tree.root());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(&*window));

        // A click reaches the main window when nothing blocks it.
        clickAsUser(window->cmdExit);
        QCOMPARE(window.desktop.boxes.size(), std::size_t(1));
        window.desktop.boxes.clear();

        WhileOpen open;
        std::size_t boxesWhileOpen = 99;
        bool changedWhileOpen = true;
        whileAboutOpen(open, [&](frmom* about) {
            clickAsUser(window->cmdExit);
            clickAsUser(window->cmdSearch);
            clickAsUser(window->chkmapp);
            clickAsUser(window->Command3);
            keyAsUser(&*window, Qt::Key_Return);
            keyAsUser(&*window, Qt::Key_Space);
            QTest::qWait(20);
            boxesWhileOpen = window.desktop.boxes.size();
            changedWhileOpen = window->Picture2->Visible() || window->chkmapp->Value() != 0 ||
                               window->lstFoundFiles->ListCount() != 0;
            keyAsUser(about, Qt::Key_Return);
        });
        clickAsUser(window->Command3);
        QVERIFY(open.reached);
        QVERIFY(!open.stillOpen);
        QCOMPARE(boxesWhileOpen, std::size_t(0));
        QVERIFY(!changedWhileOpen);
        QVERIFY(!window->aboutWindow());

        // Afterwards the main window takes keys again: Enter in the pattern box searches.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
        window->txtSearchSpec->setFocus();
        keyAsUser(&*window, Qt::Key_Return);
        QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
        QCOMPARE(window->lstFoundFiles->ListCount(), 1);
    }

    void holdsARunningSearchUntilClosed() {
        TestTree tree;
        tree.file(QStringLiteral("top.txt"));
        tree.file(QStringLiteral("one/first.txt"));
        tree.file(QStringLiteral("one/two/second.txt"));
        tree.file(QStringLiteral("three/third.txt"));
        TestWindow window;
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(&*window));

        WhileOpen open;
        bool openedDuringSearch = false;
        int entriesOnOpening = -1, entriesBeforeClosing = -1;
        bool activeBeforeClosing = false;
        QString exitCaptionBeforeClosing;
        // Runs in the walk's first yield: the user clicks "Om...".
        QTimer::singleShot(0, [&] {
            openedDuringSearch = window->cmdExit->Caption() == QStringLiteral("Avbryt");
            whileAboutOpen(open, [&](frmom* about) {
                entriesOnOpening = window->lstFoundFiles->ListCount();
                // Neither the cancel button nor Esc reach the main window now.
                clickAsUser(window->cmdExit);
                keyAsUser(&*window, Qt::Key_Escape);
                QTest::qWait(50);
                entriesBeforeClosing = window->lstFoundFiles->ListCount();
                activeBeforeClosing = window->searchActive();
                exitCaptionBeforeClosing = window->cmdExit->Caption();
                keyAsUser(about, Qt::Key_Return);
            });
            clickAsUser(window->Command3);
        });
        const QStringList found = window.search(tree.root(), QStringLiteral("*.txt"));

        QVERIFY(openedDuringSearch);
        QVERIFY(open.reached);
        QVERIFY(!open.stillOpen);
        QCOMPARE(entriesOnOpening, 0);
        QCOMPARE(entriesBeforeClosing, 0);
        QVERIFY(activeBeforeClosing);
        QCOMPARE(exitCaptionBeforeClosing, QStringLiteral("Avbryt"));
        // The walk went on where it stopped and finished.
        QStringList expected{tree.path("top.txt"), tree.path("one/first.txt"),
                             tree.path("one/two/second.txt"), tree.path("three/third.txt")};
        QStringList sorted = found;
        sorted.sort();
        expected.sort();
        QCOMPARE(sorted, expected);
        QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
        QVERIFY(!window->aboutWindow());
    }

    void programIcon() {
        const QImage icon(QStringLiteral(":/trovan/trovan.png"));
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QCOMPARE(icon.colorCount(), 16);
        QVERIFY(icon.hasAlphaChannel());
        QCOMPARE(icon.pixelColor(0, 31).alpha(), 0);
        // A yellow note taking most of it, a blue pin at the top.
        const int yellow = countPixels(icon, [](const QColor& c) {
            return c.red() > 200 && c.green() > 170 && c.blue() < 200;
        });
        QVERIFY(yellow > 32 * 32 / 3);
        const QImage top = icon.copy(0, 0, 32, 12);
        const int blue = countPixels(top, [](const QColor& c) {
            return c.blue() > 80 && c.blue() > c.red() + 60 && c.blue() > c.green() + 40;
        });
        QVERIFY(blue > 30);

        TestWindow window;
        QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
    }
};

TROVAN_TEST_MAIN(AboutWindowTest)
#include "test_about.moc"
