#include "history/history_store.h"
#include "support/history_records.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using history::Decision;

namespace {

class HistoryStoreTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Thrennic/history.sqlite"));
    QStringList troubles;
    std::unique_ptr<HistoryStore> makeStore() {
        return std::make_unique<HistoryStore>(file,
                                              [this](const QString& why) { troubles << why; });
    }
};

} // namespace

TEST_F(HistoryStoreTest, AnswersComeBackOnTheThreadThatAsked_AfterTheWritesBeforeThem) {
    auto store = makeStore();
    store->record(decision("a", Decision::Action::Trash, "/m/a.wav", "/t/files/a.wav", 1));
    store->record(decision("b", Decision::Action::Move, "/m/b.wav", "/keep/b.wav", 2));
    store->close("a", "undone");
    store->heard({"/m/b.wav", {1, 2, 3, 4, 5}, 2500});
    store->heard({"/m/b.wav", {1, 2, 3, 4, 5}, 1000}); // the same file heard again adds up
    std::optional<std::vector<Decision>> open;
    std::optional<QHash<QString, history::Heard>> heard;
    QThread* answeredOn = nullptr;
    store->openDecisions(10, [&](const std::vector<Decision>& found) {
        open = found;
        answeredOn = QThread::currentThread();
    });
    store->heardOf({"/m/a.wav", "/m/b.wav"},
                   [&](const QHash<QString, history::Heard>& found) { heard = found; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return open && heard; }, 10000));
    EXPECT_EQ(answeredOn, QCoreApplication::instance()->thread());
    ASSERT_EQ(open->size(), 1u);
    EXPECT_EQ(open->front().key, "b");
    EXPECT_EQ(heard->size(), 1);
    EXPECT_EQ(heard->value("/m/b.wav").heardMs, 3500);
    // A file written since it was heard starts again from that hearing.
    store->heard({"/m/b.wav", {1, 2, 3, 4, 6}, 700});
    heard.reset();
    store->heardOf({"/m/b.wav"},
                   [&](const QHash<QString, history::Heard>& found) { heard = found; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.has_value(); }, 10000));
    EXPECT_EQ(heard->value("/m/b.wav").heardMs, 700);
    EXPECT_TRUE(troubles.isEmpty());
}

TEST_F(HistoryStoreTest, AHistoryThatCannotBeKeptIsToldOnceAndQuestionsGetEmptyAnswers) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
    }
    auto store = makeStore();
    std::optional<std::vector<Decision>> open;
    for (int i = 0; i < 3; ++i) {
        store->record(decision(QString::number(i), Decision::Action::Trash, "/m/a.wav", "/t", 1));
        ASSERT_TRUE(store->waitForWrites(10000));
    }
    store->openDecisions(10, [&](const std::vector<Decision>& found) { open = found; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return open.has_value(); }, 10000));
    EXPECT_TRUE(open->empty());
    QTest::qWait(50); // a second telling would be on its way by now
    EXPECT_EQ(troubles.size(), 1) << troubles.join(" | ").toStdString();
}
