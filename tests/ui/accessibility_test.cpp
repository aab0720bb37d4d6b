#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QSlider>
#include <QTest>

namespace {

QString nameOf(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("(none)");
}

// Every control is reached with Tab in reading order, has a name a screen
// reader reads, and works from the keyboard.
class AccessibilityTest : public FormTest {
  protected:
    void SetUp() override {
        drop({makeFile("music/a.wav"), makeFile("music/take 3.wav")});
        showActive();
    }
    QStringList namesByTab() {
        form->WMPView->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->WMPView->hasFocus(); }, 5000));
        QStringList names;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == form->WMPView)
                break;
            names << nameOf(QApplication::focusWidget());
        }
        return names;
    }
};

TEST_F(AccessibilityTest, TabReachesEveryControlInReadingOrderEachNamed) {
    // The drop's last file is on its way: the play button offers Pause.
    EXPECT_EQ(namesByTab(),
              QStringList({"Previous", "Pause", "Stop", "Next", "Position", "Mute", "Volume",
                           "Playlist", "Shuffle", "Repeat", "Add Files To Playlist",
                           "Play Previous", "Play Next", "Delete Playing File To Recycle Bin",
                           "Delete Selected File From Playlist", "Clear Playlist",
                           "Show Keyboard Shortcuts", "Load Sample/Example Files", "Help"}));
}

TEST_F(AccessibilityTest, TheControlsWorkFromTheKeyboardAndThePlayerSaysWhatPlays) {
    engine->startPlayback();
    engine->durationChanged(100.0);
    engine->playOn(12.0);
    EXPECT_EQ(nameOf(form->WMPView), "Player: take 3.wav, playing, 0:12 of 1:40");

    // Tab to Play (now Pause), Space: paused.
    form->WMPView->setFocus();
    QTest::keyClick(form->WMPView, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(nameOf(QApplication::focusWidget()), "Pause");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(form->WMP->playState(), Player::Paused);
    EXPECT_TRUE(nameOf(form->WMPView).contains(", paused, "))
        << nameOf(form->WMPView).toStdString();

    // The volume by its arrows, as a drag would set it.
    QSlider* volume = nullptr;
    for (QSlider* slider : form->WMPView->findChildren<QSlider*>())
        if (nameOf(slider) == "Volume")
            volume = slider;
    ASSERT_NE(volume, nullptr);
    volume->setFocus();
    const int before = form->WMP->volume();
    QTest::keyClick(volume, Qt::Key_Right);
    EXPECT_GT(form->WMP->volume(), before);
}

} // namespace
