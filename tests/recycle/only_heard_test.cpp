#include "desktop/mpris.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <thread>

namespace {

// Delete takes only the file the user heard: the one the player opened, chosen
// in the window or played a moment, with no mouse button held on the list.
class OnlyHeardTest : public ThreeFilesTest {
  protected:
    void SetUp() override { dropThree("wav"); }
    QString contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
};

TEST_F(OnlyHeardTest, AFileReplacedOnDiskSinceItWasOpenedIsNeverTrashed) {
    struct Case {
        const char* what;
        std::function<void(const QString&)> replace;
    };
    const std::vector<Case> cases = {
        {"moved aside, a new one written",
         [&](const QString& path) {
             QFile::rename(path, path + ".old");
             makeFile("music/c.wav", "never heard");
         }},
        {"another file renamed over it",
         [&](const QString& path) {
             const QString other = makeFile("elsewhere/new.wav", "never heard");
             ASSERT_EQ(::rename(QFile::encodeName(other), QFile::encodeName(path)), 0);
         }},
        {"rewritten in place", [&](const QString&) { makeFile("music/c.wav", "never heard"); }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        makeFile("music/c.wav", "heard");
        form->PlayNew(3);
        ASSERT_EQ(currentPath(), c);
        each.replace(c);
        for (int press = 0; press < 2; ++press) {
            form->PushButton6_Click();
            EXPECT_TRUE(trashedNames().isEmpty()) << "press " << press;
            EXPECT_EQ(contents(c), "never heard");
            EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
            EXPECT_EQ(currentPath(), c) << "playback goes on";
            EXPECT_EQ(form->WMPView->notice(),
                      "c.wav was replaced on disk since it was opened; nothing was sent to the "
                      "Trash");
        }
        QFile::remove(c + ".old");
    }
    // Once the user plays it, the file there is the one heard.
    form->PlayNew(3);
    form->PushButton6_Click();
    EXPECT_EQ(trashedNames(), QStringList({"c.wav"}));
}

TEST_F(OnlyHeardTest, DeleteTakesNothingWhileAMouseButtonIsHeldOnTheListOrDragging) {
    showActive();
    form->PlayNew(3);
    QWidget* rows = form->ListView1->viewport();
    const QPoint onA = form->ListView1->visualRect(form->ListView1->EntryRef(1)).center();
    const QPoint onB = form->ListView1->visualRect(form->ListView1->EntryRef(2)).center();
    QTest::mousePress(rows, Qt::LeftButton, {}, onA);
    ASSERT_EQ(selectedEntry(), 1) << "the press selects a while c plays";
    pressKey(form->ListView1, Qt::Key_Delete);
    EXPECT_TRUE(trashedNames().isEmpty()) << "a, pressed on but not heard, went";
    QTest::mouseMove(rows, onB); // the drag carries a down to b's place
    pressKey(form->ListView1, Qt::Key_Delete);
    EXPECT_TRUE(trashedNames().isEmpty()) << "the dragged entry went";
    EXPECT_EQ(form->WMPView->notice(), "Mouse button held on the list: Delete ignored");
    QTest::mouseRelease(rows, Qt::LeftButton, {}, onB);
    ASSERT_EQ(currentPath(), a) << "the release plays the carried entry";
    pressKey(form->WMPView, Qt::Key_Delete);
    EXPECT_EQ(trashedNames(), QStringList({"a.wav"})) << "heard and chosen, it goes";
}

// A file the user did not choose in the window may go once it has played a moment.
TEST_F(OnlyHeardTest, AFileNotChosenHereGoesOnlyOnceItHasBeenHeard) {
    const QString d = makeFile("handed/d.wav");
    struct Case {
        const char* what;
        std::function<void()> bringIn;
        QString comes;
    };
    const std::vector<Case> cases = {
        {"a later copy's hand-over", [&] { form->OpenFiles({d}); }, d},
        {"the desktop's Next", [&] { (new Mpris(*form))->findChild<MprisPlayer*>()->Next(); }, b},
        {"the player moving on at the end of a file", [&] { engine->finishCurrent(); }, b},
        {"the restore at start",
         [&] {
             form->SaveListAndOptions();
             restart();
         },
         c},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        emptyTrash();
        form->PushButton8_Click();
        for (const char* name : {"a", "b", "c"})
            makeFile(QStringLiteral("music/%1.wav").arg(name));
        drop({a, b, c});
        form->PlayNew(1); // the user's own choice
        each.bringIn();
        ASSERT_EQ(currentPath(), each.comes);
        engine->startPlayback();
        form->PushButton6_Click();
        EXPECT_TRUE(trashedNames().isEmpty());
        EXPECT_EQ(form->WMPView->notice(), "Not heard yet: Delete ignored");
        engine->playOn(0.3);
        Q_EMIT engine->positionChanged(engine->position += 30); // a seek is not playback
        form->PushButton6_Click();
        EXPECT_TRUE(trashedNames().isEmpty()) << "too soon";
        engine->playOn(0.3);
        form->PushButton6_Click();
        EXPECT_EQ(trashedNames(), QStringList({QFileInfo(each.comes).fileName()}));
        form->Timer1_Timer(); // the pause is over
    }
}

TEST_F(OnlyHeardTest, AChoiceInTheWindowRightAfterAHandOverMayGoAtOnce) {
    form->OpenFiles({makeFile("handed/d.wav")});
    form->ListView1->SetSelected(1, true);
    form->ListView1_Click(); // a click on entry 1
    form->PushButton6_Click();
    EXPECT_EQ(trashedNames(), QStringList({"a.wav"}));
}

// A move that takes its time does not push the next press, 1.6 s after the
// first, into the pause.
TEST_F(OnlyHeardTest, ThePauseAfterADeleteIsCountedFromThePress) {
    static constexpr int kSlowMs = 600;
    engine->onStop = [] { std::this_thread::sleep_for(std::chrono::milliseconds(kSlowMs)); };
    form->PlayNew(1);
    QElapsedTimer sincePress;
    sincePress.start();
    form->PushButton6_Click();
    engine->onStop = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->DeleteReady; }, 10000));
    EXPECT_LT(sincePress.elapsed(), kDeletePauseMs + kSlowMs / 2);
    EXPECT_GE(sincePress.elapsed(), kDeletePauseMs);
}

TEST_F(OnlyHeardTest, TheScreenSaysNoSoundWhileNothingCanBeHeard) {
    form->PlayNew(1);
    Q_EMIT engine->soundOutputChanged(false, "no sound device or sound server could be opened");
    EXPECT_EQ(form->WMPView->soundNotice(),
              "No sound: no sound device or sound server could be opened");
    form->PlayNew(2);
    EXPECT_TRUE(form->WMPView->soundNotice().startsWith("No sound:")) << "while it lasts";
    form->PushButton6_Click();
    EXPECT_EQ(trashedNames(), QStringList({"b.wav"})) << "Delete still works";
    Q_EMIT engine->soundOutputChanged(true, {});
    EXPECT_TRUE(form->WMPView->soundNotice().isEmpty());
}

// A name is shown as written: "<b>x<font color=red>y.wav" is no markup.
TEST_F(OnlyHeardTest, NamesAndMessagesOnThePlayersScreenAreNeverMarkup) {
    const QString odd = makeFile("<i>folder</i>/<b>x<font color=red>y.wav");
    drop({odd});
    form->WMPView->showNotice("<b>notice</b>");
    int shown = 0;
    for (const QLabel* label : form->WMPView->findChildren<QLabel*>())
        if (label->text().contains('<')) {
            ++shown;
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        }
    EXPECT_GE(shown, 3) << "the title, the folder and the notice";
}

} // namespace
