#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace {

// Real mouse events on the real list, shown offscreen.
class ReorderTest : public FormTest {
  protected:
    void fill(int n) {
        for (int i = 0; i < n; ++i)
            paths << makeFile(QString(QChar('a' + i % 26)) + (i >= 26 ? QString::number(i) : "") +
                              ".mp3");
        drop(paths);
        showActive();
    }
    QPoint rowCentre(int entry) {
        return form->ListView1->visualRect(form->ListView1->EntryRef(entry)).center();
    }
    QWidget* viewport() { return form->ListView1->viewport(); }
    void press(int entry) { QTest::mousePress(viewport(), Qt::LeftButton, {}, rowCentre(entry)); }
    void moveTo(int entry) { QTest::mouseMove(viewport(), rowCentre(entry)); }
    void release(int entry) {
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowCentre(entry));
    }
    bool inView(int entry) {
        return viewport()->rect().intersects(
            form->ListView1->visualRect(form->ListView1->EntryRef(entry)));
    }
    QStringList paths;
};

TEST_F(ReorderTest, DraggingCarriesTheNameOneExchangeAtATimeAndLeavesThePlayerOrder) {
    fill(3);
    press(2);
    moveTo(3);
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "c.mp3", "b.mp3"}));
    EXPECT_EQ(selectedEntry(), 3);
    moveTo(1);
    EXPECT_EQ(listTexts(), QStringList({"b.mp3", "c.mp3", "a.mp3"}));
    release(1);
    EXPECT_EQ(form->ListView1->MousePointer, 1) << "the arrow after the release";
    EXPECT_EQ(playlistPaths(), paths);
}

TEST_F(ReorderTest, AJumpExchangesOnlyTheTwoEntriesEachWithItsOwnMark) {
    fill(5);
    form->ListView1->SetNotAnswering(4, true); // d's drive does not answer
    press(1);
    moveTo(4);
    EXPECT_EQ(listTexts(), QStringList({"d.mp3", "b.mp3", "c.mp3", "a.mp3", "e.mp3"}));
    EXPECT_TRUE(form->ListView1->EntryAt(1).notAnswering) << "the mark travels with d";
    EXPECT_FALSE(form->ListView1->EntryAt(4).notAnswering);
}

TEST_F(ReorderTest, TheSameNameOrNoButtonChangesNothing) {
    fill(2);
    drop({paths[0]}); // a.mp3 again, as entry 3
    press(1);
    moveTo(3);
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "b.mp3", "a.mp3"}));
    release(3);
    moveTo(2);
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "b.mp3", "a.mp3"}));
}

TEST_F(ReorderTest, ADragEntryThatWasRemovedChangesNothing) {
    fill(3);
    press(3);
    release(3);
    form->PlayNew(3);
    form->del_list2(0);
    form->ListMouseDown = true;
    form->ListView1_MouseMove(rowCentre(1));
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "b.mp3"}));
}

TEST_F(ReorderTest, NearTheScreensEdgeRowsTheListScrollsOneFurther) {
    fill(60);
    auto exchangeAt = [&](int from, int to, int screenRow) {
        form->ListView1->scrollTo(form->ListView1->EntryRef(to), QAbstractItemView::PositionAtTop);
        form->DragItem = form->ListView1->EntryRef(from);
        form->ListMouseDown = true;
        QCursor::setPos(100, screenRow);
        form->ListView1_MouseMove(rowCentre(to));
        form->ListMouseDown = false;
    };
    exchangeAt(40, 30, 330);
    EXPECT_FALSE(inView(29)) << "rows 305 to 364 scroll nothing";
    exchangeAt(40, 30, 300);
    EXPECT_TRUE(inView(29));
    form->ListView1->scrollTo(form->ListView1->EntryRef(10), QAbstractItemView::PositionAtBottom);
    form->DragItem = form->ListView1->EntryRef(5);
    form->ListMouseDown = true;
    QCursor::setPos(100, 400);
    form->ListView1_MouseMove(rowCentre(10));
    EXPECT_TRUE(inView(11));
    exchangeAt(5, 1, 300); // nothing above entry 1 to show
    EXPECT_TRUE(inView(1));
}

TEST_F(ReorderTest, AClickPlaysTheEntryUnlessTheProgramIsBusyOrThePlayerHasTheFocus) {
    fill(3);
    form->PlayNew(1);
    form->ListView1->setFocus();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCentre(2));
    EXPECT_EQ(currentPath(), paths[1]);
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
    form->BusyUpdating = true;
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCentre(3));
    EXPECT_EQ(currentPath(), paths[1]);
    form->BusyUpdating = false;
    form->PlayerHasFocus = true;
    form->ListView1_Click();
    EXPECT_EQ(currentPath(), paths[1]);
    form->PlayerHasFocus = false;
    form->ListView1->clearSelection();
    form->ListView1_Click();
    EXPECT_TRUE(dialogs.shown.empty()) << "a click with nothing selected does nothing";
}

TEST_F(ReorderTest, AfterAnExchangeDeletingAnEntrySendsItsOwnFile) {
    fill(3);
    press(1);
    moveTo(3); // c.mp3, b.mp3, a.mp3
    release(3);
    form->PlayNew(1);
    form->PushButton6_Click();
    EXPECT_FALSE(QFile::exists(paths[2]));
    EXPECT_TRUE(QFile::exists(paths[0]));
    EXPECT_EQ(listTexts(), QStringList({"b.mp3", "a.mp3"}));
}

TEST_F(ReorderTest, AnItemClickWithoutDragIconStillWorks) {
    fill(2);
    press(2);
    EXPECT_EQ(form->ListView1->MousePointer, 99);
    EXPECT_EQ(form->ListView1->MouseIcon.shape(), Qt::ArrowCursor);
    release(2);
    QFile::copy(QStringLiteral(THRENNIC_SOURCE_DIR "/resources/drag.ico"),
                dir.path() + "/drag.ico");
    press(1);
    EXPECT_EQ(form->ListView1->MouseIcon.shape(), Qt::BitmapCursor);
    release(1);
}

} // namespace
