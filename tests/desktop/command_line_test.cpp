#include "desktop/command_line.h"
#include "desktop/mpris.h"
#include "desktop/single_instance.h"

#include <QUrl>

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

TEST(CommandLineTest, NamesStayInOrderAsAbsolutePathsAndAFolderStaysAFolder) {
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"one.wav", "set/alpha.flac", "set/inner/deep.wav"})
        touch(d + "/" + name);
    const NamedFiles named = commandLineFiles(
        {"one.wav", QFile::encodeName(d + "/set/"), "", "missing.wav", "./set/../one.wav"},
        QFile::encodeName(d));
    EXPECT_EQ(named.files,
              QStringList({d + "/one.wav", d + "/set", d + "/missing.wav", d + "/one.wav"}))
        << "the window adds a folder's files; a missing file is kept so that adding it reports it";
    EXPECT_TRUE(named.refused.isEmpty());
}

// "caf\xE9.wav" reads as "caf\uFFFD.wav", which may be a sibling's real name:
// the name is refused, never taken for that sibling, on the line and in a folder.
TEST(CommandLineTest, ANameThatIsNotUtf8IsRefusedAndNeverNamesItsSibling) {
    QTemporaryDir dir;
    const QByteArray d = QFile::encodeName(dir.path());
    for (const QByteArray& name : {QByteArray("caf\xE9.wav"), QByteArray("caf\xEF\xBF\xBD.wav")}) {
        QDir().mkpath(QFile::decodeName(d + "/set"));
        const int fd = ::open((d + "/set/" + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const NamedFiles line = commandLineFiles({"set/caf\xE9.wav"}, d);
    EXPECT_TRUE(line.files.isEmpty()) << line.files.join(',').toStdString();
    EXPECT_EQ(line.refused, QStringList({QFile::decodeName(d) + "/set/caf\\xe9.wav"}));
    const NamedFiles folder = audioFilesUnder(QFile::decodeName(d + "/set"));
    EXPECT_EQ(folder.files, QStringList({QFile::decodeName(d) + "/set/caf\uFFFD.wav"}))
        << "a real name with U+FFFD in it is kept";
    EXPECT_EQ(folder.refused, QStringList({QFile::decodeName(d) + "/set/caf\\xe9.wav"}));
}

// The desktop's player controls may open audio files and folders, nothing else.
TEST(MprisOpenUriTest, OnlyExistingAudioFilesAndFoldersAreTaken) {
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"a.wav", "notes.txt", ".hidden.wav", "set/b.flac", "set/c.txt"})
        touch(d + "/" + name);
    const auto url = [&](const QString& path) { return QUrl::fromLocalFile(path).toString(); };
    struct Case {
        QString uri;
        QStringList files;
    };
    const std::vector<Case> cases = {
        {url(d + "/a.wav"), {d + "/a.wav"}},
        {"file://localhost" + QUrl::toPercentEncoding(d + "/a.wav", "/"), {d + "/a.wav"}},
        {url(d + "/set"), {d + "/set"}}, // a folder: the window adds what is in it
        {url(d + "/notes.txt"), {}},
        {url("/etc/passwd"), {}},
        {url(d + "/.hidden.wav"), {}},
        {url(d + "/missing.wav"), {}},
        {"file://otherhost" + QUrl::toPercentEncoding(d + "/a.wav", "/"), {}},
        {"http://example.org/a.wav", {}},
        {url(d) + "/caf%E9.wav", {}},
        {"not a uri at all", {}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.uri.toStdString());
        EXPECT_EQ(mprisOpenableFiles(each.uri).files, each.files);
    }
}

// The socket lives in the test process's own XDG_RUNTIME_DIR.
TEST(SingleInstanceTest, FilesReachTheRunningCopyAndAStaleSocketIsTakenOver) {
    EXPECT_FALSE(single_instance::handToRunningCopy({{"/a.wav"}, {}})) << "nobody runs yet";
    {
        // A copy that died: its socket file is left, and nobody answers on it.
        QLocalServer dead;
        ASSERT_TRUE(dead.listen(single_instance::socketPath()));
        dead.close();
        touch(single_instance::socketPath());
    }
    NamedFiles received;
    InstanceServer server([&](const NamedFiles& files) { received = files; });
    ASSERT_TRUE(server.listening());
    InstanceServer second([](const NamedFiles&) {});
    EXPECT_FALSE(second.listening()) << "a second copy leaves the socket to the first";

    // The handing-over copy waits for the answer, so the server's events run beside it.
    const NamedFiles files{{"/music/it's \"odd\"\nname.wav", "/music/été.flac"},
                           {"/music/caf\\xe9.wav"}};
    bool taken = false;
    std::thread client([&] { taken = single_instance::handToRunningCopy(files); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
    client.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(received.files, files.files);
    EXPECT_EQ(received.refused, files.refused) << "the running copy names the refused ones";
}

// A later copy that connects and then hangs, or sends half a message and dies,
// holds nobody up; the socket goes with the copy that served it.
TEST(SingleInstanceTest, AHungOrHalfHandOverBlocksNoOtherAndTheSocketGoesWithTheServer) {
    QStringList received;
    int handOvers = 0;
    {
        InstanceServer server([&](const NamedFiles& files) {
            received = files.files;
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
        std::thread client([&] { taken = single_instance::handToRunningCopy({{"/b.wav"}, {}}); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
        client.join();
        EXPECT_TRUE(taken);
        EXPECT_EQ(received, QStringList({"/b.wav"}));
        EXPECT_EQ(handOvers, 1);
    }
    EXPECT_FALSE(QFile::exists(single_instance::socketPath()));
    EXPECT_FALSE(single_instance::handToRunningCopy({{"/c.wav"}, {}}));
}

// The meeting point is never a folder others may write to, nor a relative path.
TEST(SingleInstanceTest, TheSocketLivesOnlyInAFolderPrivateToThisUser) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir shared;
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    for (const QByteArray& given : {QFile::encodeName(shared.path()), QByteArray()}) {
        qputenv("XDG_RUNTIME_DIR", given);
        const QString path = single_instance::socketPath();
        EXPECT_TRUE(path.startsWith('/')) << path.toStdString();
        EXPECT_FALSE(path.startsWith(shared.path())) << "a folder others may write to";
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    qputenv("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(single_instance::socketPath(),
              QFile::decodeName(runtime) + "/thrennic-" + QString::number(::getuid()) + ".socket");
}

// A socket listened on by another user, even in our own folder, is nobody to
// hand files to (as root, a child listens as "nobody" and answers like a copy).
TEST(SingleInstanceTest, AListenerOfAnotherUserIsNeverHandedFiles) {
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to listen as another user";
    const QByteArray path = QFile::encodeName(single_instance::socketPath());
    ::unlink(path.constData());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::setuid(65534) != 0 || ::listen(fd, 4) != 0)
            ::_exit(1);
        [[maybe_unused]] ssize_t n = ::write(ready[1], "r", 1);
        const int peer = ::accept(fd, nullptr, nullptr);
        char chunk[4096];
        n = ::read(peer, chunk, sizeof chunk);
        n = ::write(peer, "k", 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_FALSE(single_instance::handToRunningCopy({{"/secret.wav"}, {}}));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::unlink(path.constData());
    ::close(ready[0]);
    ::close(ready[1]);
}

} // namespace
