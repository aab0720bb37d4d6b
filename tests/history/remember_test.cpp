#include "history/history_db.h"
#include "history/history_store.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"
#include "ui/push_button.h"

#include <QFile>
#include <QTest>

using history::Decision;

namespace {

// The real window, the real Trash and a real history file that outlasts restarts.
class HistoryTest : public ThreeFilesTest {
  protected:
    void SetUp() override {
        keep = dir.path() + "/sorted/Keep";
        QDir().mkpath(keep);
        dropThree("wav");
        form->BoundFolders[1] = keep;
        showActive();
    }
    // As the next start of the program: the list restored, and the decisions
    // of the sittings before back on the undo stack.
    void restartAndRecall() {
        form->SaveListAndOptions();
        restart();
        form->BoundFolders[1] = keep;
        showActive();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->LookingForEarlierDecisions(); }, 10000));
    }
    std::vector<Decision> decisions() {
        EXPECT_TRUE(form->History->waitForWrites(10000));
        history::Trouble trouble;
        auto db = history::Database::open(historyFile(), trouble, true);
        EXPECT_TRUE(db) << trouble.why.toStdString();
        return db ? db->allDecisions(trouble) : std::vector<Decision>{};
    }
    void playChosen(int entry) {
        form->DeleteReady = true; // the pause between deletes is tested elsewhere
        form->PlayNew(entry);
    }
    QString keep;
};

TEST_F(HistoryTest, EveryWayOfSendingAFileAwayAndOfTakingItBackIsRecorded) {
    const std::vector<std::tuple<const char*, Decision::Action, std::function<void()>>> routes = {
        {"the button", Decision::Action::Trash, [&] { form->PushButton6->click(); }},
        {"a double-click", Decision::Action::Trash, [&] { form->ListView1_DblClick(); }},
        {"Delete in the list", Decision::Action::Trash,
         [&] { pressKey(form->ListView1, Qt::Key_Delete); }},
        {"Ctrl+1", Decision::Action::Move, [&] { form->MoveToFolderKey(1); }},
    };
    for (const auto& [route, action, run] : routes) {
        SCOPED_TRACE(route);
        playChosen(2);
        run();
        ASSERT_FALSE(QFile::exists(b));
        std::vector<Decision> found = decisions();
        ASSERT_FALSE(found.empty());
        const Decision sent = found.front();
        EXPECT_EQ(sent.action, action);
        EXPECT_EQ(sent.from, b);
        EXPECT_TRUE(QFile::exists(sent.to)) << "where it went: " << sent.to.toStdString();
        EXPECT_EQ(sent.entryNumber, 2);
        EXPECT_EQ(sent.identity, identityNow(sent.to));
        EXPECT_EQ(!sent.infoPath.isEmpty(), action == Decision::Action::Trash);

        form->UndoDelete();
        ASSERT_TRUE(QFile::exists(b));
        found = decisions();
        const Decision undo = found.front();
        EXPECT_EQ(undo.action, Decision::Action::Undo);
        EXPECT_EQ(undo.undoes, sent.key);
        EXPECT_EQ(undo.from, sent.to);
        EXPECT_EQ(undo.to, b);
        form->WMP->setFullScreen(false); // the Delete key's poll goes full screen
    }
    EXPECT_EQ(decisions().size(), 2 * routes.size());
}

TEST_F(HistoryTest, CtrlZAfterARestartGoesOnIntoTheSittingsBefore) {
    playChosen(2);
    form->PushButton6_Click(); // b to the Trash
    playChosen(2);
    form->MoveToFolderKey(1); // c, which moved up, to Keep
    ASSERT_EQ(listTexts(), QStringList{"a.wav"});
    restartAndRecall();
    playChosen(1);
    form->PushButton6_Click(); // a, in this sitting
    ASSERT_EQ(listTexts(), QStringList());

    form->UndoDelete(); // this sitting's first
    EXPECT_EQ(listTexts(), QStringList{"a.wav"});
    form->UndoDelete(); // then the one before: c, from Keep, at its place
    EXPECT_TRUE(QFile::exists(c));
    EXPECT_FALSE(QFile::exists(keep + "/c.wav"));
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));
    EXPECT_EQ(currentPath(), c) << "it plays";
    form->UndoDelete(); // and b, out of the Trash
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(currentPath(), b);
    EXPECT_TRUE(dialogs.shown.empty());

    // Taken back, they are not offered again at the next start.
    restartAndRecall();
    EXPECT_TRUE(form->Recycled.empty());
}

TEST_F(HistoryTest, AnEntryWhosePlaceIsGoneComesBackAtTheEnd) {
    playChosen(3);
    form->PushButton6_Click(); // c, the third
    restartAndRecall();
    form->ListView1->SetSelected(1, true); // a leaves the list, the disk untouched
    form->PushButton5_Click();
    form->PushButton5_Click(); // and b
    ASSERT_EQ(listTexts(), QStringList());
    form->UndoDelete();
    EXPECT_EQ(listTexts(), QStringList{"c.wav"});
    EXPECT_EQ(currentPath(), c);
}

TEST_F(HistoryTest, AnUndoRefusedAfterARestartSaysWhyAndIsNotOfferedAgain) {
    struct Case {
        const char* what;
        std::function<void(const Decision& sent)> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a new file took the name of one trashed",
         [&](const Decision&) { makeFile("music/b.wav", "new"); }, "Another file"},
        {"the Trash was emptied", [&](const Decision&) { emptyTrash(); }, "no longer in the Trash"},
        {"the file moved to Keep was changed there",
         [&](const Decision& sent) {
             QFile moved(sent.to);
             ASSERT_TRUE(moved.open(QIODevice::Append));
             moved.write("more");
         },
         "no longer in"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        dialogs.shown.clear();
        if (!QFile::exists(b))
            makeFile("music/b.wav");
        drop({b});
        playChosen(form->ListView1->Count());
        if (QString(each.what).contains("Keep"))
            form->MoveToFolderKey(1);
        else
            form->PushButton6_Click();
        ASSERT_FALSE(QFile::exists(b));
        const Decision sent = decisions().front();
        restartAndRecall();
        ASSERT_EQ(form->Recycled.size(), 1u);
        each.spoil(sent);
        const QStringList listBefore = listTexts();
        form->UndoDelete();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].text.contains(b));
        EXPECT_TRUE(dialogs.shown[0].text.contains(each.reason))
            << dialogs.shown[0].text.toStdString();
        EXPECT_EQ(listTexts(), listBefore);
        EXPECT_TRUE(form->Recycled.empty());
        restartAndRecall();
        EXPECT_TRUE(form->Recycled.empty()) << "a refused undo is not offered again";
        QFile::remove(b);
        QFile::remove(keep + "/b.wav");
        emptyTrash();
    }
}

TEST_F(HistoryTest, AHistoryThatCannotBeKeptIsToldOnce_AndEverythingElseWorks) {
    form.reset();
    QFile::remove(historyFile() + "-wal");
    QFile::remove(historyFile() + "-shm");
    {
        QFile damaged(historyFile());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
    }
    restart();
    dropThree("wav");
    showActive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->LookingForEarlierDecisions(); }, 10000));
    EXPECT_TRUE(
        form->WMPView->notice().startsWith("History is not kept: history.sqlite is damaged"))
        << form->WMPView->notice().toStdString();
    playChosen(2);
    form->PushButton6_Click();
    EXPECT_FALSE(QFile::exists(b));
    form->UndoDelete();
    EXPECT_TRUE(QFile::exists(b)) << "this sitting's undo does not need the history";
    QFile file(historyFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(4096, 'x')) << "the user's file is left as it was";
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace

namespace {

// Heard marks through the real window and a real history file.
class HeardTest : public ThreeFilesTest {
  protected:
    void SetUp() override { dropThree("wav"); }
    void hear(int entry, double seconds) {
        form->PlayNew(entry);
        engine->startPlayback();
        engine->playOn(seconds);
    }
    // As the next start: the list restored, its marks looked up.
    void restartAndLook() {
        form->PlayNew(1); // what was heard last is recorded as the file changes
        form->SaveListAndOptions();
        restart();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->LookingForEarlierDecisions(); }, 10000));
    }
    bool marked(const QString& path) { return form->ListView1->HeardMs(path) >= 0; }
    QString tooltipOf(int entry) {
        return form->ListView1->model()
            ->index(entry - 1, 0)
            .data(Qt::ToolTipRole)
            .toString();
    }
};

TEST_F(HeardTest, TwoSecondsMakeAFileHeard_MarkedNowAndAfterARestart) {
    hear(1, 1.5);
    EXPECT_FALSE(marked(a)) << "not yet two seconds";
    engine->playOn(0.6);
    EXPECT_TRUE(marked(a));
    EXPECT_FALSE(form->ListView1->model()->index(0, 0).data(Qt::DecorationRole).isNull());
    hear(2, 30.5);
    EXPECT_TRUE(marked(b));
    EXPECT_FALSE(marked(c));
    restartAndLook();
    ASSERT_TRUE(QTest::qWaitFor([&] { return marked(a) && marked(b); }, 10000));
    EXPECT_FALSE(marked(c));
    EXPECT_EQ(tooltipOf(2), QFileInfo(b).absolutePath() + "\nheard 0:30");
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"})) << "the texts stay bare names";
}

TEST_F(HeardTest, SeeksPausesAndAReplacedFileDoNotCountAsHeard) {
    // A jump forward is not listening.
    form->PlayNew(1);
    engine->startPlayback();
    engine->position = 60;
    engine->playOn(0.5);
    EXPECT_FALSE(marked(a));
    // b heard, then written again with other bytes of the same length.
    hear(2, 3.0);
    ASSERT_TRUE(marked(b));
    form->PlayNew(3);
    {
        QFile rewritten(b);
        ASSERT_TRUE(rewritten.open(QIODevice::ReadWrite));
        rewritten.write("WAVE"); // as long as before, written later
        rewritten.setFileTime(QDateTime::currentDateTime().addSecs(5),
                              QFileDevice::FileModificationTime);
    }
    hear(3, 3.0);
    restartAndLook();
    ASSERT_TRUE(QTest::qWaitFor([&] { return marked(c); }, 10000));
    EXPECT_FALSE(marked(b)) << "replaced since it was heard";
    EXPECT_FALSE(marked(a));
}

TEST_F(HeardTest, CtrlJPlaysTheNextUnheardEntry_AndSaysWhenEveryEntryWasHeard) {
    showActive();
    hear(1, 3.0);
    hear(3, 3.0);
    form->PlayNew(3);
    pressKey(form->ListView1, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(currentPath(), b) << "wrapping past the end and over a, heard";
    engine->startPlayback();
    engine->playOn(3.0);
    pressKey(form->ListView1, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(currentPath(), b);
    EXPECT_EQ(form->WMPView->notice(), "Every entry has been heard");
}

TEST_F(HeardTest, TheProgressLineCountsHeardEntriesAndWhatLeftTheirFolders) {
    showActive();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form->WMPView->progressText() == "Heard 0 of 3 \u00b7 0 to the Trash \u00b7 0 moved"; },
        10000))
        << form->WMPView->progressText().toStdString();
    hear(1, 3.0);
    form->DeleteReady = true;
    form->PushButton6_Click(); // a, heard, to the Trash
    const QString other = makeFile("elsewhere/x.wav");
    drop({other});
    form->DeleteReady = true;
    form->PushButton6_Click(); // x, from another folder, which then leaves the list
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->WMPView->progressText() == "Heard 0 of 2 \u00b7 2 to the Trash \u00b7 0 moved"; },
        10000))
        << form->WMPView->progressText().toStdString();
    restartAndLook();
    showActive();
    hear(1, 3.0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->WMPView->progressText() == "Heard 1 of 2 \u00b7 1 to the Trash \u00b7 0 moved"; },
        10000))
        << "the other folder is not this list's any more: "
        << form->WMPView->progressText().toStdString();
}

} // namespace
