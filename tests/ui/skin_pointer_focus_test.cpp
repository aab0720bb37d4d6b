#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"
#include "ui/push_button.h"
#include "ui/skin_engine.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QTest>

namespace {

class LookAndFeelTest : public FormTest {
  protected:
    void TearDown() override { qApp->setStyleSheet(QString()); }
    void copyResource(const QString& name) {
        QFile::copy(QStringLiteral(THRENNIC_SOURCE_DIR "/resources/") + name,
                    dir.path() + "/" + name);
    }
    static QByteArray readResource(const QString& name) {
        QFile file(QStringLiteral(THRENNIC_SOURCE_DIR "/resources/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QColor background(QWidget* w) { return w->palette().color(QPalette::Window); }
    // The pointer moving over a widget with no button held.
    void hover(QWidget* w, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
};

TEST_F(LookAndFeelTest, WithoutASkinTheWindowStaysWhiteAndTheEngineIsNeverCalled) {
    EXPECT_EQ(background(form.get()), QColor(Qt::white));
    EXPECT_EQ(form->SkinFramework1->calls, 0);
    EXPECT_EQ(form->SkinFramework1->Options, 0);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST_F(LookAndFeelTest, ASkinGivesTheFramedControlsTheButtonFaceAndSkinsTheProgram) {
    QDir().mkpath(dir.path() + "/x");
    QFile::copy(QStringLiteral(THRENNIC_SOURCE_DIR "/skins/example/x/o.cjs"),
                dir.path() + "/x/o.cjs");
    restart();
    const QColor face = form->palette().color(QPalette::Button);
    EXPECT_EQ(background(form.get()), face);
    EXPECT_EQ(background(form->Frame1), face);
    EXPECT_EQ(background(form->Check1), face);
    EXPECT_EQ(background(form->Check2), face);
    EXPECT_EQ(form->SkinFramework1->Options & 1, 1);
    EXPECT_TRUE(form->SkinFramework1->Switch5 && form->SkinFramework1->Switch10);
    EXPECT_TRUE(qApp->styleSheet().contains("QPushButton"));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LookAndFeelTest, ASkinTheEngineRejectsIsReportedAsStepOneHundred) {
    QDir().mkpath(dir.path() + "/x");
    makeFile("x/o.cjs", QByteArray("\x00\x01\xff\xfe binary", 11));
    restart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.Form_Load at line 100"));
    EXPECT_EQ(background(form->Frame1), form->palette().color(QPalette::Button))
        << "done before the load stays done";
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST_F(LookAndFeelTest, TheHandsHotSpotIsTheOneItsCursorFileDeclares) {
    QByteArray cursor = readResource("HAND-M.CUR");
    ASSERT_GT(cursor.size(), 22);
    cursor[10] = 3; // the first image's hot spot: x 3, y 5
    cursor[11] = 0;
    cursor[12] = 5;
    cursor[13] = 0;
    makeFile("HAND-M.CUR", cursor);
    restart();
    ASSERT_FALSE(form->MouseIcon.pixmap().isNull());
    EXPECT_EQ(form->MouseIcon.hotSpot(), QPoint(3, 5));
}

TEST_F(LookAndFeelTest, TheHandShowsOverButtonsOnlyAndComesFromTheCursorFile) {
    copyResource("HAND-M.CUR");
    restart();
    EXPECT_FALSE(form->MouseIcon.pixmap().isNull());
    showActive();
    hover(form->PushButton4, QPoint(20, 10));
    EXPECT_EQ(form->MousePointer, 99);
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    hover(form->PushButton9, QPoint(20, 10));
    EXPECT_EQ(form->MousePointer, 99) << "button to button keeps the hand";
    hover(form->ListView1->viewport(), QPoint(20, 40));
    EXPECT_EQ(form->MousePointer, 0);
    hover(form->PushButton1, QPoint(20, 10));
    hover(form->WMPView, QPoint(100, 100));
    EXPECT_EQ(form->MousePointer, 0);
    hover(form->PushButton1, QPoint(20, 10));
    hover(form->Frame1, QPoint(200, 5));
    EXPECT_EQ(form->MousePointer, 0);
}

TEST_F(LookAndFeelTest, WithoutTheCursorFileTheCustomPointerIsTheArrow) {
    showActive();
    hover(form->PushButton4, QPoint(20, 10));
    EXPECT_EQ(form->MousePointer, 99);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(LookAndFeelTest, AnUnreadableCursorFileIsReportedAndTheArrowStays) {
    makeFile("HAND-M.CUR", "not a cursor");
    restart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form_Load at line 106"));
    EXPECT_EQ(form->MouseIcon.shape(), Qt::ArrowCursor);
}

TEST_F(LookAndFeelTest, AClickOrDoubleClickOnTheBareWindowGivesThePlayerTheFocus) {
    showActive();
    form->ListView1->setFocus();
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, QPoint(795, 4));
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
    form->ListView1->setFocus();
    QTest::mouseDClick(form.get(), Qt::LeftButton, {}, QPoint(795, 4));
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
}

TEST_F(LookAndFeelTest, HelpNamesTheContactPage) {
    form->PushButton2->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Questions? Please contact Team Kestrelin at https://thrennic.example/contact");
    EXPECT_EQ(dialogs.shown[0].title, "Thrennic");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
}

} // namespace
