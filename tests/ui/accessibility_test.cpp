#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>

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

// Light on dark and dark on light, under a theme and under a skin: the
// window's bare ground, and what the program draws on it, read from a grab.
class WindowColoursTest : public FormTest {
  protected:
    ~WindowColoursTest() override {
        QApplication::setPalette(before);
        qApp->setStyleSheet(QString());
    }
    // The pixels of w that stand out from the ground at its top left corner.
    int contrasting(const QImage& drawn, const QWidget* w) const {
        const QRect r(w->mapTo(form.get(), QPoint()), w->size());
        return contrasting(drawn, r, drawn.pixelColor(r.topLeft() + QPoint(1, 1)));
    }
    // The pixels of r that stand out from ground.
    static int contrasting(const QImage& drawn, const QRect& r, const QColor& ground) {
        int count = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (std::abs(drawn.pixelColor(x, y).lightness() - ground.lightness()) > 120)
                    ++count;
        return count;
    }
    const QPalette before = QApplication::palette();
};

TEST_F(WindowColoursTest, WhatTheProgramDrawsStandsOutUnderALightThemeADarkOneAndADarkSkin) {
    QPalette dark = before;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(0x2b, 0x2b, 0x2b));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xee, 0xee, 0xee));
    enum Look { Light, DarkTheme, DarkSkin };
    for (const Look look : {Light, DarkTheme, DarkSkin}) {
        SCOPED_TRACE(look == Light ? "light" : look == DarkTheme ? "dark theme" : "dark skin");
        QApplication::setPalette(look == DarkTheme ? dark : before);
        if (look == DarkSkin)
            makeFile(QStringLiteral("x/o.cjs"),
                     "QWidget { background-color: #1e1e1e; color: #e8e8e8; }");
        restart();
        form->show();
        const QImage drawn = form->grab().toImage();
        const QColor ground = drawn.pixelColor(2, 2);
        if (look == Light)
            EXPECT_EQ(ground, QColor(Qt::white));
        else
            EXPECT_LT(ground.lightness(), 64) << "the window stays light";
        QList<const QWidget*> drawnByUs{form->Check1, form->Check2};
        for (const QToolButton* button : form->WMPView->findChildren<QToolButton*>())
            drawnByUs << button; // the transport symbols
        for (const QLabel* label : form->WMPView->findChildren<QLabel*>())
            if (label->isVisible() && label->text().contains(QLatin1Char('/')))
                drawnByUs << label; // the time, "0:00 / 0:00"
        ASSERT_GE(drawnByUs.size(), 8);
        for (const QWidget* w : drawnByUs)
            EXPECT_GT(contrasting(drawn, w), 12)
                << w->metaObject()->className() << " " << w->accessibleName().toStdString()
                << " cannot be made out";
        // "Playback Options": the frame's title, above its boxes.
        const QRect title(form->Frame1->mapTo(form.get(), QPoint()),
                          QSize(form->Frame1->width(), form->Check1->y()));
        EXPECT_GT(contrasting(drawn, title, ground), 20) << "the frame's title cannot be read";
    }
}

} // namespace
