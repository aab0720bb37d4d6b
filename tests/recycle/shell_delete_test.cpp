#include "recycle/gio_library.h"
#include "recycle/shell_delete.h"
#include "support/form_fixture.h"

#include <QFile>
#include <QProcess>

namespace {

class ShellDeleteTest : public FormTest {};

TEST_F(ShellDeleteTest, ModeOneMovesTheFileToTheTrashWithItsOriginalPathAndAsksNothing) {
    const QString path = makeFile("odd names/it's a \"take\" ü.wav");
    ShellDelete(path, 1, dialogs);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(trashedNames(), QStringList({"it's a \"take\" ü.wav"}));
    EXPECT_EQ(trashedFrom("it's a \"take\" ü.wav"), path);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(ShellDeleteTest, AMissingFileIsShownInABoxNamingItAndTheCallReturns) {
    const QString path = dir.path() + "/never there.wav";
    ShellDelete(path, 1, dialogs);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(path));
}

TEST_F(ShellDeleteTest, OtherModesAskFirstAndDeleteForGoodOnlyOnYes) {
    const QString path = makeFile("keep.wav");
    dialogs.answerYes = false;
    ShellDelete(path, 0, dialogs);
    EXPECT_TRUE(QFile::exists(path));
    dialogs.answerYes = true;
    ShellDelete(path, 0, dialogs);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(ShellDeleteTest, WithNoUsableTrashTheFileStaysAndTheUserIsTold) {
    const QString path = makeFile("precious.wav");
    const QString notAFolder = makeFile("plain file");
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", notAFolder + "/data"); // a Trash that cannot be made
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(TRASH_ONE_PATH), {path});
    ASSERT_TRUE(tool.waitForFinished(20000));
    const QString said = QString::fromLocal8Bit(tool.readAllStandardOutput());
    EXPECT_TRUE(QFile::exists(path)) << "never deleted for good";
    EXPECT_TRUE(said.contains(path)) << said.toStdString();
}

TEST_F(ShellDeleteTest, WithoutGioNothingIsDeletedInEitherModeAndTheUserIsToldWhy) {
    const QString path = makeFile("precious.wav");
    dialogs.answerYes = true;
    EXPECT_FALSE(ShellDelete(path, 1, dialogs, "libgio-not-installed.so.9"));
    EXPECT_FALSE(ShellDelete(path, 0, dialogs, "libgio-not-installed.so.9"));
    EXPECT_TRUE(QFile::exists(path));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(path));
    EXPECT_TRUE(dialogs.shown[0].text.contains("libgio-not-installed.so.9 could not be loaded"))
        << dialogs.shown[0].text.toStdString();
    // The question before deleting for good is never asked: there is no way to go on.
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(ShellDeleteTest, ALibraryThatLacksTheTrashIsRefusedByName) {
    QString error;
    EXPECT_EQ(loadGioLibrary(&error, "libm.so.6"), nullptr);
    EXPECT_EQ(error, "libm.so.6 has no function g_file_new_for_path");
}

} // namespace
