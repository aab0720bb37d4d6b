#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

// Real key presses on the real window, shown offscreen and active.
class ShortcutsTest : public FormTest {
  protected:
    void SetUp() override {
        a = makeFile("music/a.wav");
        h = makeFile("music/h.wav");
        c = makeFile("music/c.wav");
        drop({a, h, c});
        showActive();
    }
    void TearDown() override { form->WMP->setFullScreen(false); }
    // A press as the window system delivers it: to whichever widget has the focus by then.
    void press(QWidget* where, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        where->setFocus();
        QTest::keyClick(where->window()->windowHandle(), key, modifiers);
        pollDone();
    }
    // The Delete-key poll, armed by a press, has had its tick.
    void pollDone() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Timer2->isActive(); }, 5000));
    }
    // What a held key sends after its first press: auto-repeated presses, to the focus.
    void autoRepeat(Qt::Key key) {
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    }
    // The player filling the screen, with the keyboard.
    void fullScreenWithFocus() {
        form->WMP->setFullScreen(true);
        ASSERT_TRUE(QTest::qWaitForWindowActive(form->WMPView));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->WMPView->hasFocus(); }, 5000));
    }
    QString a, h, c;
};

TEST_F(ShortcutsTest, CtrlHTogglesShuffleHandsThePlayerTheFocusAndKeepsTheKeyFromTheList) {
    form->PlayNew(1);
    press(form->ListView1, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(boxValue(*form->Check1), 1);
    EXPECT_TRUE(form->WMP->getMode("shuffle"));
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
    EXPECT_EQ(selectedEntry(), 1) << "the H did not reach the list";
    press(form->WMPView, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(boxValue(*form->Check1), 0) << "the player's keys go to the window first";
    press(form->ListView1, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(form->WMP->getMode("loop"));
}

TEST_F(ShortcutsTest, CtrlShiftHIsNotAShortcutAndClearsTheDeleteNote) {
    form->DeleteKeyHandled = true;
    press(form->ListView1, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(boxValue(*form->Check1), 0);
    EXPECT_FALSE(form->DeleteKeyHandled);
}

TEST_F(ShortcutsTest, CtrlAloneGivesThePlayerTheFocus) {
    press(form->ListView1, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
    EXPECT_TRUE(form->PlayerHasFocus);
}

TEST_F(ShortcutsTest, DeleteInTheListDeletesExactlyOneFileWithoutSaving) {
    form->PlayNew(2);
    press(form->ListView1, Qt::Key_Delete);
    EXPECT_EQ(trashedNames(), QStringList({"h.wav"}));
    EXPECT_TRUE(form->DeleteKeyHandled);
    EXPECT_EQ(currentPath(), c);
    EXPECT_TRUE(stored("ListCount").isEmpty()) << "the key handler's route does not save";
}

TEST_F(ShortcutsTest, CtrlDeleteIsDelete) {
    form->PlayNew(1);
    press(form->ListView1, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(trashedNames(), QStringList({"a.wav"}));
}

TEST_F(ShortcutsTest, DeleteInThePlayerGoesThePollsWaySavesAndGoesFullScreenOncePlaying) {
    form->PlayNew(1);
    engine->startPlayback();
    press(form->WMPView, Qt::Key_Delete);
    EXPECT_EQ(trashedNames(), QStringList({"a.wav"}));
    EXPECT_EQ(stored("ListCount"), "2");
    EXPECT_EQ(currentPath(), h);
    engine->startPlayback();
    EXPECT_TRUE(form->WMP->fullScreen());
}

TEST_F(ShortcutsTest, AfterADeleteInTheListADeleteInThePlayerStillWorks) {
    form->PlayNew(1);
    press(form->ListView1, Qt::Key_Delete);
    ASSERT_EQ(trashedNames().size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->DeleteReady; }, 5000));
    hearPlaying();
    press(form->WMPView, Qt::Key_Delete);
    EXPECT_EQ(trashedNames().size(), 2);
}

TEST_F(ShortcutsTest, HoldingDeleteTakesOnlyOneFile) {
    form->PlayNew(1);
    engine->startPlayback();
    // The first press goes to the list (the key handler's route), which hands the
    // focus to the player; the key's auto-repeats then reach the player.
    press(form->ListView1, Qt::Key_Delete);
    ASSERT_EQ(trashedNames(), QStringList({"a.wav"}));
    // The key stays down while the pause between deletes ends three times over
    // (its timer made to tick at once instead of waiting it out).
    for (int pause = 0; pause < 3; ++pause) {
        form->Timer1->stop();
        form->Timer1_Timer();
        ASSERT_TRUE(form->DeleteReady);
        for (int repeat = 0; repeat < 5; ++repeat) {
            autoRepeat(Qt::Key_Delete);
            pollDone();
        }
    }
    QTest::keyRelease(form->windowHandle(), Qt::Key_Delete);
    pollDone();
    EXPECT_EQ(trashedNames(), QStringList({"a.wav"}));
    EXPECT_EQ(listTexts(), QStringList({"h.wav", "c.wav"}));
}

TEST_F(ShortcutsTest, AutoRepeatsOfDeleteInThePlayerNeverDelete) {
    form->PlayNew(1);
    form->WMPView->setFocus();
    for (int i = 0; i < 3; ++i)
        autoRepeat(Qt::Key_Delete);
    pollDone();
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(ShortcutsTest, InTheFullScreenPlayerEveryPressDeletesWhateverRouteTookTheLast) {
    form->PlayNew(1);
    engine->startPlayback();
    press(form->ListView1, Qt::Key_Delete); // the key handler's route: DeleteKeyHandled
    ASSERT_EQ(trashedNames(), QStringList({"a.wav"}));
    hearPlaying();
    fullScreenWithFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->DeleteReady; }, 5000));
    press(form->WMPView, Qt::Key_Delete);
    EXPECT_EQ(trashedNames(), QStringList({"a.wav", "h.wav"}));
    EXPECT_EQ(currentPath(), c);
}

TEST_F(ShortcutsTest, DeleteWhileADialogOrAPopupIsOpenTakesNoFile) {
    form->PlayNew(1);
    engine->startPlayback();
    form->WMPView->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->WMPView->hasFocus(); }, 5000));
    // A popup up (a menu, a list dropped down) that leaves the focus where it
    // was: Delete is the popup's, even when the press reaches the focus.
    {
        QWidget popup(form.get(), Qt::Popup);
        popup.setFocusPolicy(Qt::NoFocus);
        popup.resize(80, 40);
        popup.show();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &popup; }, 5000));
        ASSERT_EQ(QApplication::focusWidget(), form->WMPView);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(form->WMPView, &press);
        pollDone();
    }
    EXPECT_TRUE(trashedNames().isEmpty());

    // A modal dialog of the program, as the shortcut list, Help or the Open
    // dialog are; a Delete press reaches whatever has the focus meanwhile.
    QDialog dialog(form.get());
    new QLineEdit(QStringLiteral("song.wav"), &dialog);
    bool pressed = false;
    QTimer::singleShot(0, &dialog, [&] {
        if (QWidget* focus = QApplication::focusWidget()) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QApplication::sendEvent(focus, &press);
            pressed = true;
            pollDone();
        }
        dialog.accept();
    });
    dialog.exec();
    pollDone();
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_EQ(currentPath(), a);
    EXPECT_FALSE(form->WMP->fullScreen());
}

TEST_F(ShortcutsTest, KeysThatMoveTheSelectionInTheListPlayTheEntryTheyChoose) {
    form->BusyUpdating = true; // the focus stays in the list after this start
    form->PlayNew(1);
    form->BusyUpdating = false;
    form->ListView1->setFocus();
    press(form->ListView1, Qt::Key_Down);
    EXPECT_EQ(selectedEntry(), 2);
    EXPECT_EQ(currentPath(), h);
    EXPECT_EQ(QApplication::focusWidget(), form->ListView1) << "the next key walks on";
    press(form->ListView1, Qt::Key_End);
    EXPECT_EQ(currentPath(), c);
    press(form->ListView1, Qt::Key_Home);
    EXPECT_EQ(currentPath(), a);
    press(form->ListView1, Qt::Key_H); // typing a name jumps to it
    EXPECT_EQ(currentPath(), h);
    press(form->ListView1, Qt::Key_Delete);
    EXPECT_EQ(trashedNames(), QStringList({"h.wav"})) << "the file that was heard";
}

TEST_F(ShortcutsTest, AltEnterGoesFullScreenOnlyWhilePlaying) {
    form->PlayNew(1);
    form->WMP->pause();
    form->DeleteKeyHandled = true;
    press(form->ListView1, Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(form->WMP->fullScreen());
    EXPECT_FALSE(form->DeleteKeyHandled);
    form->WMP->play();
    engine->startPlayback();
    press(form->ListView1, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(form->WMP->fullScreen());
}

TEST_F(ShortcutsTest, FullScreenFillsTheScreenEveryTime) {
    const QSize screen = form->screen()->size();
    for (int round = 0; round < 3; ++round) {
        form->WMP->setFullScreen(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->WMPView->size() == screen; }, 5000))
            << "round " << round << ": " << form->WMPView->width() << "x"
            << form->WMPView->height();
        EXPECT_TRUE(form->WMPView->isFullScreen());
        form->WMP->setFullScreen(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->WMPView->isWindow(); }, 5000));
    }
}

TEST_F(ShortcutsTest, ClosingTheFullScreenPlayerPutsItBackInTheWindow) {
    form->WMP->setFullScreen(true);
    ASSERT_TRUE(form->WMPView->isWindow());
    form->WMPView->close();
    EXPECT_FALSE(form->WMP->fullScreen());
    EXPECT_FALSE(form->WMPView->isWindow());
    EXPECT_TRUE(form->WMPView->isVisible());
}

TEST_F(ShortcutsTest, TheShortcutListShowsNineLinesEachEndedByACarriageReturn) {
    form->PushButton7_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const QStringList lines = dialogs.shown[0].text.split('\r');
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], "Ctrl+F = Next Video");
    EXPECT_EQ(lines[6], "Delete Key = Send to Recycle Bin");
    EXPECT_EQ(lines[8], "Left Arrow = Skip Back");
    EXPECT_TRUE(lines[9].isEmpty());
    EXPECT_EQ(dialogs.shown[0].title, "Thrennic");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
}

TEST_F(ShortcutsTest, ThePlayersOwnKeysWork) {
    form->PlayNew(1);
    engine->startPlayback();
    press(form->WMPView, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(currentPath(), h);
    press(form->WMPView, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(currentPath(), a);
    press(form->WMPView, Qt::Key_F9);
    EXPECT_EQ(form->WMP->volume(), 55);
    engine->startPlayback();
    press(form->WMPView, Qt::Key_Space);
    EXPECT_EQ(form->WMP->playState(), Player::Paused);
}

} // namespace
