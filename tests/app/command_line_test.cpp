#include "app/command_line.h"
#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(CommandLineTest, FilesStayInOrderAndAFolderStandsForItsAudioFilesByName) {
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"one.wav", "set/Zed.OGG", "set/alpha.flac", "set/notes.txt",
                             "set/inner/deep.wav", "empty/.keep"})
        touch(d + "/" + name);
    const QStringList files = commandLineFiles(
        {"one.wav", d + "/set/", "", "missing.wav", "empty", "./set/../one.wav"}, d);
    EXPECT_EQ(files, QStringList({d + "/one.wav", d + "/set/alpha.flac", d + "/set/Zed.OGG",
                                  d + "/missing.wav", d + "/one.wav"}))
        << "no text files, no subfolders, no entry for a folder; a missing file is kept so "
           "that adding it reports it";
}

// The socket lives in the test process's own XDG_RUNTIME_DIR.
TEST(SingleInstanceTest, FilesReachTheRunningCopyAndAStaleSocketIsTakenOver) {
    EXPECT_FALSE(single_instance::handToRunningCopy({"/a.wav"})) << "nobody runs yet";
    {
        // A copy that died: its socket file is left, and nobody answers on it.
        QLocalServer dead;
        ASSERT_TRUE(dead.listen(single_instance::socketPath()));
        dead.close();
        touch(single_instance::socketPath());
    }
    QStringList received;
    InstanceServer server([&](const QStringList& files) { received = files; });
    ASSERT_TRUE(server.listening());
    InstanceServer second([](const QStringList&) {});
    EXPECT_FALSE(second.listening()) << "a second copy leaves the socket to the first";

    // The handing-over copy waits for the answer, so the server's events run beside it.
    const QStringList files{"/music/it's \"odd\"\nname.wav", "/music/été.flac"};
    bool taken = false;
    std::thread client([&] { taken = single_instance::handToRunningCopy(files); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
    client.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(received, files);
}

// A later copy that connects and then hangs, or sends half a message and dies,
// holds nobody up; the socket goes with the copy that served it.
TEST(SingleInstanceTest, AHungOrHalfHandOverBlocksNoOtherAndTheSocketGoesWithTheServer) {
    QStringList received;
    int handOvers = 0;
    {
        InstanceServer server([&](const QStringList& files) {
            received = files;
            ++handOvers;
        });
        ASSERT_TRUE(server.listening());
        QLocalSocket hung;
        hung.connectToServer(single_instance::socketPath());
        ASSERT_TRUE(hung.waitForConnected(5000));
        {
            QLocalSocket half;
            half.connectToServer(single_instance::socketPath());
            ASSERT_TRUE(half.waitForConnected(5000));
            half.write(QByteArray("\0\0\1\0partial", 11)); // says 256 bytes follow
            ASSERT_TRUE(half.waitForBytesWritten(5000));
        }
        bool taken = false;
        std::thread client([&] { taken = single_instance::handToRunningCopy({"/b.wav"}); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
        client.join();
        EXPECT_TRUE(taken);
        EXPECT_EQ(received, QStringList({"/b.wav"}));
        EXPECT_EQ(handOvers, 1);
    }
    EXPECT_FALSE(QFile::exists(single_instance::socketPath()));
    EXPECT_FALSE(single_instance::handToRunningCopy({"/c.wav"}));
}

} // namespace
