#include "desktop/command_line.h"
#include "desktop/mpris.h"
#include "desktop/single_instance.h"

#include <QUrl>

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
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

// A local peer that connects and writes to the socket directly, as anything may.
int rawPeer(const QByteArray& bytes = {}) {
    const QByteArray path = QFile::encodeName(single_instance::socketPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (!bytes.isEmpty() && ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) !=
                                 ssize_t(bytes.size()))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the running copy has closed the peer's connection.
bool closedByServer(int fd) {
    char byte;
    for (;;) {
        const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return true;
        if (n < 0)
            return false;
    }
}

QByteArray bigEndian(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// Peers that claim more than a hand-over may hold, or that never finish, are
// dropped without anything reserved for them, and a real hand-over after them
// is taken whole, however many names it has.
TEST(SingleInstanceTest, APeerThatClaimsTooMuchOrNeverFinishesIsDroppedAndTheNextIsTaken) {
    QStringList received;
    int handOvers = 0;
    InstanceServer server([&](const NamedFiles& files) {
        received += files.files;
        ++handOvers;
    });
    ASSERT_TRUE(server.listening());
    const struct {
        const char* what;
        QByteArray bytes;
    } peers[] = {
        {"2^31 - 1 names in 24 bytes", bigEndian(20) + bigEndian(0x7fffffff) + QByteArray(16, 'x')},
        {"names that could not fit in the bytes sent",
         bigEndian(12) + bigEndian(1000) + QByteArray(8, '\0')},
        {"a 100 MB message announced", bigEndian(100u << 20) + QByteArray(1000, 'x')},
        {"half a message, and then nothing", bigEndian(256) + QByteArray("partial")},
        {"a connection that says nothing", QByteArray()},
    };
    for (const auto& peer : peers) {
        SCOPED_TRACE(peer.what);
        const int fd = rawPeer(peer.bytes);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return closedByServer(fd); }, 10000))
            << "the connection was never dropped";
        ::close(fd);
    }
    EXPECT_EQ(handOvers, 0);

    // More names than one message may carry: they come in parts, all in order.
    NamedFiles many;
    for (int i = 0; i < 150'000; ++i)
        many.files << QStringLiteral("/music/take %1.wav").arg(i);
    bool taken = false;
    std::thread client([&] { taken = single_instance::handToRunningCopy(many); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() == many.files.size(); }, 20000));
    client.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(received, many.files);
    EXPECT_GT(handOvers, 1);
}

// Peers by the thousand, more than this copy has descriptors for: the running
// copy neither spins nor lets a real hand-over go to a second copy.
TEST(SingleInstanceTest, PeersBeyondTheDescriptorsNeitherSpinNorKeepOutARealHandOver) {
    NamedFiles received;
    InstanceServer server([&](const NamedFiles& files) { received = files; });
    ASSERT_TRUE(server.listening());
    // The peers live in a child, so only the running copy runs short.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        for (int i = 0; i < 300; ++i)
            rawPeer();
        [[maybe_unused]] ssize_t n = ::write(ready[1], "r", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit before = limit;
    limit.rlim_cur = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size() + 4;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    const auto cpuSeconds = [] {
        rusage used{};
        ::getrusage(RUSAGE_SELF, &used);
        return double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
               double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(1000); // the window in which a spinning listener would burn a core
    const double busy = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
    EXPECT_LT(busy, 0.3) << "the listener spins while the descriptors have run out";

    bool taken = false;
    std::thread client([&] { taken = single_instance::handToRunningCopy({{"/real.wav"}, {}}); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 20000));
    client.join();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(taken) << "a real hand-over was turned away";
    EXPECT_EQ(received.files, QStringList({"/real.wav"}));
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
