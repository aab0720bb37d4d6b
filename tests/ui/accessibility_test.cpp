#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
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

namespace {

// Light on dark and dark on light: the window's bare ground and an option
// box's text, read from what is drawn.
class WindowColoursTest : public FormTest {
  protected:
    ~WindowColoursTest() override { QApplication::setPalette(before); }
    const QPalette before = QApplication::palette();
};

TEST_F(WindowColoursTest, AWhiteWindowUnderALightThemeAndTheThemesOwnUnderADarkOne) {
    QPalette dark = before;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(0x2b, 0x2b, 0x2b));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xee, 0xee, 0xee));
    for (const bool isDark : {false, true}) {
        SCOPED_TRACE(isDark ? "dark" : "light");
        QApplication::setPalette(isDark ? dark : before);
        restart();
        form->show();
        const QImage drawn = form->grab().toImage();
        const QColor ground = drawn.pixelColor(2, 2);
        EXPECT_EQ(ground, isDark ? dark.color(QPalette::Window) : QColor(Qt::white));
        // "Shuffle": its letters stand out from the ground they are drawn on.
        const QRect box = form->Check1->geometry().translated(
            form->Check1->parentWidget()->mapTo(form.get(), QPoint()));
        int contrasting = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left() + box.width() / 4; x <= box.right(); ++x)
                if (std::abs(drawn.pixelColor(x, y).lightness() - ground.lightness()) > 120)
                    ++contrasting;
        EXPECT_GT(contrasting, 20) << "the box's text cannot be read";
    }
}

} // namespace
