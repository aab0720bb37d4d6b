#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

class RemovalTest : public FormTest {};

TEST_F(RemovalTest, RemovingTheOnlyEntryEmptiesBothHalves) {
    const QString a = makeFile("a.mp3");
    drop({a});
    form->del_list2(0);
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(playlistPaths().isEmpty());
    EXPECT_TRUE(QFile::exists(a));
}

TEST_F(RemovalTest, TheSameFileTwiceGoesToTheTrashOnceAndBothEntriesLeave) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3");
    drop({a, b, a});
    form->PlayNew(1);
    form->del_list2(1);
    EXPECT_EQ(listTexts(), QStringList({"b.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({b}));
    EXPECT_EQ(trashedNames(), QStringList({"a.mp3"}));
    EXPECT_EQ(trashedFrom("a.mp3"), a);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(selectedEntry(), 0) << "nothing is left selected";
}

TEST_F(RemovalTest, RemovingWithoutDeletingTakesTheItemNearestTheEnd) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3");
    drop({a, b, a});
    const Media first = form->WMP->currentPlaylist()->Item(0);
    form->PlayNew(1);
    form->del_list2(0);
    EXPECT_EQ(listTexts(), QStringList({"b.mp3", "a.mp3"}));
    ASSERT_EQ(playlistPaths(), QStringList({a, b}));
    EXPECT_EQ(form->WMP->currentPlaylist()->Item(0), first);
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(RemovalTest, DeletingANamesakeSendsOnlyTheChosenEntrysOwnFile) {
    const QString mine = makeFile("one/take.wav"), theirs = makeFile("two/take.wav");
    drop({theirs, mine});
    form->PlayNew(2);
    form->del_list2(1);
    EXPECT_FALSE(QFile::exists(mine));
    EXPECT_TRUE(QFile::exists(theirs));
    EXPECT_EQ(trashedFrom("take.wav"), mine);
    EXPECT_EQ(listTexts(), QStringList({"take.wav"}));
    EXPECT_EQ(playlistPaths(), QStringList({theirs}));
}

TEST_F(RemovalTest, AFileGoneBehindOurBackLeavesTheListWithNothingTrashed) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3");
    drop({a, b});
    form->PlayNew(1);
    QFile::remove(a);
    form->del_list2(1);
    EXPECT_EQ(listTexts(), QStringList({"b.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({b}));
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RemovalTest, EmptyNamesNeitherMarkOtherEntriesNorReachTheTrash) {
    // Hidden files have no name in the list.
    const QString other = makeFile(".other.wav");
    const QString hidden = makeFile(".hidden.wav"), a = makeFile("a.mp3");
    drop({other, a, hidden});
    ASSERT_EQ(listTexts(), QStringList({"", "a.mp3", ""}));
    form->PlayNew(3);
    form->del_list2(1);
    EXPECT_EQ(listTexts(), QStringList({"", "a.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({other, a})) << "the halves stay in step";
    EXPECT_TRUE(QFile::exists(hidden));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_TRUE(trashedNames().isEmpty());
    // The same file twice: an empty name is no name, so its twin is no namesake.
    drop({other});
    ASSERT_EQ(listTexts(), QStringList({"", "a.mp3", ""}));
    ASSERT_EQ(playlistPaths(), QStringList({other, a, other}));
    form->PlayNew(3);
    form->del_list2(1);
    EXPECT_EQ(listTexts(), QStringList({"", "a.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({other, a}));
}

TEST_F(RemovalTest, NoSelectedEntryReportsEachFailedStepAndRemovesNothing) {
    drop({makeFile("a.mp3"), makeFile("b.mp3")});
    form->ListView1->clearSelection();
    form->del_list2(0);
    EXPECT_EQ(listTexts().size(), 2);
    EXPECT_EQ(playlistPaths().size(), 2);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.del_list2 at line 102"));
    EXPECT_TRUE(dialogs.shown[1].text.contains("Form1.del_list2 at line 106"));
}

TEST_F(RemovalTest, RemovalFindsItemsByTheirOwnFileAfterEntriesWereReordered) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3"), c = makeFile("c.mp3");
    drop({a, b, c});
    // An exchange as dragging makes it: text and path travel together.
    form->ListView1->SetEntry(1, QStringLiteral("c.mp3"), c);
    form->ListView1->SetEntry(3, QStringLiteral("a.mp3"), a);
    form->PlayNew(1);
    form->del_list2(1);
    EXPECT_FALSE(QFile::exists(c));
    EXPECT_EQ(listTexts(), QStringList({"b.mp3", "a.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, b}));
}

// The view reads what an entry holds through the model, and hears of every change.
TEST(ListViewTest, AnEntrysTextReachesTheViewAndEveryChangeIsAnnounced) {
    ListView list(nullptr);
    list.AddColumn("Files");
    list.AddMany({{"a.wav", "/one/a.wav"}, {"b.wav", "/two/b.wav"}});
    list.Insert(2, "c.wav", "/three/c.wav");
    QAbstractItemModel* model = list.model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(1, 0).data().toString(), "c.wav");
    EXPECT_EQ(list.Path(2), "/three/c.wav");
    QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
    list.SetEntry(3, "d.wav", "/four/d.wav");
    EXPECT_EQ(model->index(2, 0).data().toString(), "d.wav");
    EXPECT_EQ(list.Path(3), "/four/d.wav");
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex().row(), 2);
    EXPECT_EQ(changes[0][2].value<QList<int>>().size(), 3) << "the text and the path";
    list.SetEntry(3, "d.wav", "/four/d.wav");
    EXPECT_EQ(changes.size(), 1) << "nothing changed, nothing announced";
    list.SetEntry(3, "d.wav", "/five/d.wav");
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[1][2].value<QList<int>>(), QList<int>({Qt::UserRole})) << "the path alone";
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Files");
    EXPECT_EQ(list.Text(1), "a.wav");
}

} // namespace
