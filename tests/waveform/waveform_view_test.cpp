#include "desktop/mpris.h"
#include "engine/mpv_engine.h"
#include "playback/player_widget.h"
#include "support/fakes.h"
#include "support/form_fixture.h"
#include "support/wav.h"
#include "waveform/waveform_view.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <cmath>

namespace {

constexpr int kWait = 20000;

bool complete(const WaveformRef& w) {
    return w && w->complete;
}

TEST(WaveformLoaderTest, AResultReachesTheGuiThreadIsKeptAndGoesStaleWhenTheFileChanges) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    writeToneWav(path, 1.0);
    WaveformLoader loader;
    WaveformRef last;
    bool offThread = false;
    QObject::connect(&loader, &WaveformLoader::updated, [&](const QString& p, WaveformRef w) {
        offThread = offThread || QThread::currentThread() != qApp->thread();
        EXPECT_EQ(p, path);
        last = w;
    });
    const auto readAgain = [&] {
        last.reset();
        loader.load(path);
        return QTest::qWaitFor([&] { return complete(last); }, kWait);
    };
    EXPECT_EQ(loader.cached(path), nullptr);
    ASSERT_TRUE(readAgain());
    EXPECT_FALSE(offThread);
    EXPECT_EQ(loader.cached(path), last);
    EXPECT_TRUE(loader.loading().isEmpty());

    writeToneWav(path, 2.0);
    EXPECT_EQ(loader.cached(path), nullptr) << "the peaks of a file that changed are not shown";

    ASSERT_TRUE(readAgain());
    writeToneWav(path, 2.0, 880.0); // the same size, written later
    QFile rewritten(path);
    ASSERT_TRUE(rewritten.open(QIODevice::ReadWrite));
    ASSERT_TRUE(rewritten.setFileTime(QFileInfo(path).lastModified().addSecs(10),
                                      QFileDevice::FileModificationTime));
    EXPECT_EQ(loader.cached(path), nullptr) << "a rewrite of the same size is a change too";
}

// Stands in for the decoder: a file named "held…" reports some peaks once and
// then reads on until it is no longer wanted; any other file is read at once.
Waveform readHeldOrAtOnce(const QString& path, const std::function<bool()>& cancelled,
                          const std::function<void(const Waveform&)>& progress) {
    Waveform waveform;
    waveform.peaks.lanes = 1;
    waveform.peaks.columns.resize(1);
    if (QFileInfo(path).fileName().startsWith(QStringLiteral("held"))) {
        progress(waveform);
        const QDeadlineTimer deadline(kWait);
        while (!cancelled() && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        return waveform; // as a cancelled read ends: incomplete, not failed
    }
    waveform.complete = true;
    return waveform;
}

TEST(WaveformLoaderTest, NothingMoreArrivesOfAReadSupersededOrCancelledAfterItsFirstProgress) {
    QTemporaryDir dir;
    const QString held = dir.filePath(QStringLiteral("held.wav"));
    const QString other = dir.filePath(QStringLiteral("other.wav"));
    for (const QString& path : {held, other})
        writeToneWav(path, 0.1);
    for (const bool cancelFirst : {false, true}) {
        SCOPED_TRACE(cancelFirst ? "cancelled, then another file" : "another file");
        WaveformLoader loader(nullptr, readHeldOrAtOnce);
        QStringList arrived;
        WaveformRef last;
        QObject::connect(&loader, &WaveformLoader::updated, [&](const QString& p, WaveformRef w) {
            arrived << p;
            last = w;
        });
        loader.load(held);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !arrived.isEmpty(); }, kWait));
        ASSERT_EQ(arrived, QStringList({held})) << "its progress came while it was wanted";
        if (cancelFirst)
            loader.cancel();
        loader.load(other);
        // One worker, in order: once the other file's result is here, whatever
        // the held read sent on its way out has been delivered or dropped.
        ASSERT_TRUE(QTest::qWaitFor([&] { return complete(last); }, kWait));
        EXPECT_EQ(arrived, QStringList({held, other}));
        EXPECT_EQ(loader.cached(held), nullptr);
    }
}

// A read stuck in the kernel on a drive that stopped answering never sees
// that it is no longer wanted: the next file is read all the same.
TEST(WaveformLoaderTest, AReadThatHangsDoesNotHoldTheNextFile) {
    QTemporaryDir dir;
    const QString stuck = dir.filePath(QStringLiteral("stuck.wav"));
    const QString other = dir.filePath(QStringLiteral("other.wav"));
    std::atomic<bool> answers = false, stuckEnded = false;
    WaveformLoader loader(nullptr, [&](const QString& path, const std::function<bool()>& cancelled,
                                       const std::function<void(const Waveform&)>& progress) {
        if (path != stuck)
            return readHeldOrAtOnce(path, cancelled, progress);
        progress(Waveform{});
        const QDeadlineTimer deadline(kWait);
        while (!answers && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        stuckEnded = true;
        Waveform whole;
        whole.complete = true;
        return whole;
    });
    QStringList arrived;
    QObject::connect(&loader, &WaveformLoader::updated, [&](const QString& p, WaveformRef w) {
        arrived << p + (w->complete ? QStringLiteral(" read") : QString());
    });
    loader.load(stuck);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !arrived.isEmpty(); }, kWait));
    loader.load(other);
    EXPECT_TRUE(QTest::qWaitFor([&] { return arrived.contains(other + " read"); }, kWait))
        << "the next file waits behind the read that hangs";
    answers = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return stuckEnded.load(); }, kWait));
    loader.load(other);
    EXPECT_TRUE(QTest::qWaitFor([&] { return arrived.count(other + " read") == 2; }, kWait));
    EXPECT_EQ(arrived, QStringList({stuck, other + " read", other + " read"}))
        << "nothing of the read given up on arrives when it comes back";
}

TEST(WaveformLoaderTest, TheLeastRecentlyShownResultIsTheOneForgotten) {
    QTemporaryDir dir;
    WaveformLoader loader(nullptr, readHeldOrAtOnce);
    WaveformRef last;
    QObject::connect(&loader, &WaveformLoader::updated,
                     [&](const QString&, WaveformRef w) { last = w; });
    QStringList paths;
    const auto read = [&](int n) {
        paths << dir.filePath(QStringLiteral("%1.wav").arg(n));
        writeToneWav(paths.back(), 0.01);
        last.reset();
        loader.load(paths.back());
        return QTest::qWaitFor([&] { return complete(last); }, kWait);
    };
    const int kept = int(WaveformLoader::kKeptResults);
    for (int n = 0; n < kept; ++n)
        ASSERT_TRUE(read(n));
    ASSERT_NE(loader.cached(paths[0]), nullptr); // shown again: now the most recent
    ASSERT_TRUE(read(kept));
    EXPECT_EQ(loader.cached(paths[1]), nullptr) << "the least recently shown went";
    paths.removeAt(1);
    for (const QString& path : paths)
        EXPECT_NE(loader.cached(path), nullptr) << path.toStdString();
}

class WaveformScreenTest : public FormTest {
  protected:
    QString tone(const QString& name, double seconds) {
        const QString path = QDir(dir.path()).filePath(name);
        writeToneWav(path, seconds);
        return path;
    }
    WaveformView& view() { return *form->WMPView->waveformView(); }
    bool shown() { return complete(view().waveform()); }
    QLabel* labelSaying(const QString& text) {
        for (QLabel* label : form->WMPView->findChildren<QLabel*>())
            if (label->text() == text)
                return label;
        return nullptr;
    }
};

TEST(FactsLineTest, TheMeasureSaysWhatItFoundSilenceByThePeak) {
    const double inf = INFINITY;
    struct Case {
        double loudness, peakDb;
        bool tooShort;
        const char* ends;
    };
    for (const Case& c :
         {Case{-16.24, -0.4, false, " \u00b7 \u221216.2 LUFS \u00b7 peak \u22120.4 dB"},
          Case{-inf, -6.0, true, " \u00b7 too short to measure \u00b7 peak \u22126.0 dB"},
          Case{-inf, -68.0, false, " \u00b7 under \u221270 LUFS \u00b7 peak \u221268.0 dB"},
          Case{-inf, -80.0, false, " \u00b7 Silent \u00b7 peak \u221280.0 dB"},
          Case{-inf, -inf, false, "WAV \u00b7 Silent"}}) {
        AudioFacts facts;
        facts.format = QStringLiteral("WAV");
        facts.loudness = c.loudness;
        facts.peakDb = c.peakDb;
        facts.tooShortToMeasure = c.tooShort;
        EXPECT_TRUE(factsLine(facts).endsWith(QString::fromUtf8(c.ends)))
            << factsLine(facts).toStdString();
    }
}

TEST_F(WaveformScreenTest, TheScreenShowsTheFileItsFolderFactsPlaceAndWaveform) {
    const QString a = tone(QStringLiteral("a.wav"), 1.0), b = tone(QStringLiteral("b.wav"), 2.0),
                  c = tone(QStringLiteral("c.wav"), 1.5);
    drop({a, b, c});
    ASSERT_EQ(currentPath(), c);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(); }, kWait));
    EXPECT_EQ(form->WMPView->folderText(), dir.path());
    // A sine 12.2 dB under full scale in both channels.
    EXPECT_EQ(
        form->WMPView->factsText(),
        QStringLiteral("WAV \u00b7 44.1 kHz \u00b7 stereo \u00b7 16-bit \u00b7 0:01 \u00b7 ") +
            QLocale::c().formattedDataSize(QFileInfo(c).size(), 1, QLocale::DataSizeSIFormat) +
            QStringLiteral(" \u00b7 \u221212.9 LUFS \u00b7 peak \u221212.2 dB"));
    EXPECT_EQ(form->WMPView->placeText(), "3 of 3");
    EXPECT_NEAR(view().waveform()->facts.seconds, 1.5, 0.01);

    form->PlayNew(1);
    form->PushButton5_Click(); // out of the list; b plays
    ASSERT_EQ(currentPath(), b);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->WMPView->placeText() == "1 of 2"; }, kWait));
    EXPECT_EQ(listPlace(37, 1204), "37 of 1,204");
}

TEST_F(WaveformScreenTest, GoingBackShowsAKeptWaveformAtOnce) {
    const QString a = tone(QStringLiteral("a.wav"), 1.0), b = tone(QStringLiteral("b.wav"), 1.0);
    drop({a, b});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(); }, kWait));
    const WaveformRef ofB = view().waveform();
    form->PlayNew(1);
    EXPECT_FALSE(shown()) << "b's waveform must not stand for a's";
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() && view().waveform() != ofB; }, kWait));
    form->PushButton10_Click(); // Play Next: b again
    EXPECT_EQ(view().waveform(), ofB) << "kept, so shown without reading the file again";
}

TEST_F(WaveformScreenTest, AnUndecodableFileSaysWhyOnTheScreenAndWhenThePlayerMovesOn) {
    const QString bad = makeFile(QStringLiteral("bad.wav"), QByteArray(3000, 'x'));
    const QString good = tone(QStringLiteral("good.wav"), 1.0);
    drop({bad, good});
    form->PlayNew(1);
    ASSERT_EQ(currentPath(), bad);
    const QString why =
        QStringLiteral("it is not in an audio format that can be read, or it is damaged");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return view().message() == QStringLiteral("This file cannot be decoded: ") + why + ".";
        },
        kWait))
        << view().message().toStdString();
    engine->finishCurrent(true); // the engine gives up on it and moves to the queued one
    EXPECT_EQ(form->WMPView->notice(), QStringLiteral("Could not play bad.wav: ") + why);
    EXPECT_EQ(currentPath(), good);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown(); }, kWait));

    // Given up on before it was read: the engine's reason, in the screen's words.
    const QString other = makeFile(QStringLiteral("other.wav"), QByteArray(3000, 'y'));
    drop({other, good});
    form->PlayNew(int(listTexts().indexOf("other.wav")) + 1);
    ASSERT_EQ(currentPath(), other);
    engine->finishCurrent(true);
    EXPECT_EQ(form->WMPView->notice(), "Could not play other.wav: it could not be opened");
}

// The file's own tags, read in the pass that draws its waveform: under its name
// on the screen (the name stays the title) and for the desktop's player controls.
TEST_F(WaveformScreenTest, ATaggedFileShowsItsTagsAndTellsThemToTheDesktop) {
    const QString wav = tone(QStringLiteral("plain.wav"), 1.0);
    const QString tagged = QDir(dir.path()).filePath(QStringLiteral("take 3.flac"));
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {wav, QStringLiteral("--comment"), QStringLiteral("TITLE=Take Three"),
               QStringLiteral("--add-comment"), QStringLiteral("ARTIST=The Band"),
               QStringLiteral("--add-comment"), QStringLiteral("ALBUM=Live Tapes"),
               QStringLiteral("--add-comment"), QStringLiteral("TRACKNUMBER=3"), tagged});
    ASSERT_TRUE(sox.waitForFinished(30000) && sox.exitCode() == 0)
        << sox.readAllStandardError().toStdString();
    Mpris mpris(*form);
    auto* player = mpris.findChild<MprisPlayer*>();
    drop({wav, tagged});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(); }, kWait));
    EXPECT_EQ(form->WMPView->tagsText(), "Take Three \u00b7 The Band \u00b7 Live Tapes");
    const QVariantMap data = player->metadata();
    EXPECT_EQ(data.value("xesam:title").toString(), "Take Three");
    EXPECT_EQ(data.value("xesam:artist").toStringList(), QStringList({"The Band"}));
    EXPECT_EQ(data.value("xesam:album").toString(), "Live Tapes");
    EXPECT_EQ(data.value("xesam:trackNumber").toInt(), 3);

    form->PlayNew(1); // no tags: the file's name, and no line
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(); }, kWait));
    EXPECT_TRUE(form->WMPView->tagsText().isEmpty());
    EXPECT_EQ(player->metadata().value("xesam:title").toString(), "plain.wav");
    EXPECT_FALSE(player->metadata().contains("xesam:artist"));
}

TEST_F(WaveformScreenTest, AtFullScreenTheScreenSaysHowToGoBack) {
    drop({tone(QStringLiteral("a.wav"), 1.0)});
    QLabel* hint = labelSaying(QStringLiteral("Esc: back to the window"));
    ASSERT_NE(hint, nullptr);
    form->show();
    EXPECT_FALSE(hint->isVisible());
    form->WMP->setFullScreen(true);
    EXPECT_TRUE(hint->isVisible());
    form->WMP->setFullScreen(false);
    EXPECT_FALSE(hint->isVisible());
}

// The real engine, sound to nowhere: a click on the waveform seeks the file.
TEST(WaveformSeekTest, AClickAtThreeQuartersSeeksToThreeQuartersOfTheLength) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("eight.wav"));
    writeToneWav(path, 8.0);
    QString error;
    auto engine = MpvEngine::create({{"ao", "null"}}, &error);
    ASSERT_TRUE(engine) << error.toStdString();
    Player player(std::move(engine));
    PlayerWidget widget(player, nullptr);
    widget.resize(520, 380);
    widget.show();
    PlaylistRef list = player.newPlaylist(QStringLiteral("one"));
    list->appendItem(player.newMedia(path));
    player.setCurrentPlaylist(list);
    player.playItem(list->Item(0));
    WaveformView& view = *widget.waveformView();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return player.playState() == Player::Playing && complete(view.waveform()); }, kWait));
    player.pause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == Player::Paused; }, kWait));

    const int x = int(std::lround(0.75 * (view.width() - 1)));
    // Through the window system's door, so that Qt makes its own presses and double-clicks.
    QWindow* window = widget.windowHandle();
    auto at = [&](int along) { return view.mapTo(&widget, QPoint(along, view.height() / 2)); };
    QTest::mouseClick(window, Qt::LeftButton, {}, at(x));
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::fabs(player.position() - 6.0) < 0.05; }, kWait))
        << "at " << player.position();
    QSlider* slider = nullptr;
    for (QSlider* s : widget.findChildren<QSlider*>())
        if (s->maximum() == 8)
            slider = s;
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), int(player.position())) << "the transport's slider follows";

    // A double-click is for full screen: the position stays where it was.
    QSignalSpy doubleClicks(&widget, &PlayerWidget::DoubleClick);
    QTest::mouseDClick(window, Qt::LeftButton, {}, at(view.width() / 4));
    EXPECT_GE(doubleClicks.count(), 1);
    // Played on from there, not from the quarter the first click of the pair went to.
    player.play();
    const double from = player.position();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::fabs(player.position() - from) > 0.2; }, kWait));
    // From 6 on (a slow machine may show it later), never from the quarter's 2.
    EXPECT_GT(player.position(), 6.0);
    EXPECT_LT(player.position(), 8.0);
}

// The view alone, with a palette of its own: the pixels it draws.
TEST(WaveformViewTest, ThePlayedPartIsInThePlayedToneThePlayheadMovesAndAMessageSeeksNothing) {
    WaveformView view(nullptr);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    view.setPalette(palette);
    view.resize(201, 60);
    auto waveform = std::make_shared<Waveform>();
    waveform->complete = true;
    waveform->peaks.lanes = 1;
    waveform->peaks.columns.assign(100, PeakColumn{-0.8f, 0.8f, false});
    view.setWaveform(waveform);
    const int y = 15; // inside the peaks, clear of the middle line
    const auto colourAt = [&](int x) { return view.grab().toImage().pixelColor(x, y); };
    const QColor played(0, 0, 255);

    view.setPlayhead(0.5);
    EXPECT_EQ(colourAt(50), played);
    EXPECT_NE(colourAt(150), played) << "ahead of the playhead, the other tone";
    EXPECT_NE(colourAt(150), QColor(Qt::white)) << "but the peaks are drawn there too";
    EXPECT_EQ(colourAt(100), QColor(Qt::black)) << "the playhead";
    view.setPlayhead(0.75);
    EXPECT_EQ(colourAt(150), QColor(Qt::black)) << "the playhead moved";
    EXPECT_EQ(colourAt(125), played);
    EXPECT_NE(colourAt(100), QColor(Qt::black));

    QSignalSpy seeks(&view, &WaveformView::seekRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(50, y));
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_DOUBLE_EQ(seeks[0][0].toDouble(), 0.25);
    view.setMessage(QStringLiteral("This file cannot be decoded."));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(150, y));
    EXPECT_EQ(seeks.count(), 1) << "a click on a message seeks nothing";
}

} // namespace
