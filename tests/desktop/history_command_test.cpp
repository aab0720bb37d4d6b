#include "desktop/history_command.h"
#include "history/history_store.h"
#include "support/history_records.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using history::Decision;

namespace {

// What the command printed, and its exit status.
struct CommandRun {
    int status = -1;
    QString out, err;
};

QString textOf(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.append(chunk, qsizetype(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

CommandRun runCommand(const QByteArrayList& arguments, const QString& file,
                      const QByteArray& typed = {}) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(typed.constData(), 1, size_t(typed.size()), in);
    std::rewind(in);
    CommandRun run;
    const std::optional<int> status = runHistoryCommand(arguments, file, in, out, err);
    std::fclose(in);
    run.status = status.value_or(-1);
    run.out = textOf(out);
    run.err = textOf(err);
    return run;
}

class HistoryCommandTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Thrennic/history.sqlite"));
    std::unique_ptr<HistoryStore> makeStore() {
        return std::make_unique<HistoryStore>(file, [](const QString&) {});
    }
};

} // namespace

TEST_F(HistoryCommandTest, ListsNewestFirstAndForgetsOnlyWhenTold) {
    EXPECT_EQ(runCommand({"--history"}, file).status, 0) << "no history yet: nothing to list";
    {
        auto store = makeStore();
        const qint64 noon = QDateTime(QDate(2026, 12, 10), QTime(12, 0)).toMSecsSinceEpoch();
        store->record(decision("a", Decision::Action::Trash, "/m/tab\there.wav",
                               "/t/files/tab\there.wav", noon));
        store->record(decision("b", Decision::Action::Move, "/m/line\nbreak.wav", "/keep/x.wav",
                               noon + 1000));
        ASSERT_TRUE(store->waitForWrites(10000));
    }
    const CommandRun listed = runCommand({"--history"}, file);
    EXPECT_EQ(listed.status, 0);
    const QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    const QString noonText = QDateTime(QDate(2026, 12, 10), QTime(12, 0)).toString(Qt::ISODate);
    EXPECT_EQ(lines[0].split('\t'),
              (QStringList{QDateTime(QDate(2026, 12, 10), QTime(12, 0, 1)).toString(Qt::ISODate),
                           "move", "/m/line\\nbreak.wav", "/keep/x.wav"}));
    EXPECT_EQ(lines[1].split('\t'),
              (QStringList{noonText, "trash", "/m/tab\\there.wav", "/t/files/tab\\there.wav"}));

    const CommandRun declined = runCommand({"--forget-history"}, file, "n\n");
    EXPECT_NE(declined.status, 0);
    EXPECT_TRUE(declined.out.contains(file)) << "the question names the file";
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_NE(runCommand({"--forget-history"}, file, "").status, 0) << "no answer keeps it";
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(runCommand({"--forget-history"}, file, "y\n").status, 0);
    EXPECT_FALSE(QFile::exists(file) || QFile::exists(file + "-wal") ||
                 QFile::exists(file + "-shm"));

    makeStore()->record(decision("c", Decision::Action::Trash, "/m/c.wav", "/t/c.wav", 1));
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(runCommand({"--forget-history", "--yes"}, file).status, 0);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(runHistoryCommand({"--history", "x.wav"}, file).has_value())
        << "anything else is for the window";
}
