#include "engine/file_stream.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

QByteArray uriOf(const QByteArray& path) {
    return file_stream::kProtocol + QByteArrayLiteral("://") + path;
}

int openStream(const QByteArray& path, mpv_stream_cb_info* info) {
    QByteArray uri = uriOf(path);
    return file_stream::open(nullptr, uri.data(), info);
}

// What mpv does with a stream: reads in small pieces from wherever it sought.
QByteArray readAll(const mpv_stream_cb_info& info, int64_t from, size_t piece) {
    EXPECT_EQ(info.seek_fn(info.cookie, from), from);
    QByteArray all;
    std::vector<char> buffer(piece);
    while (true) {
        const int64_t got = info.read_fn(info.cookie, buffer.data(), piece);
        EXPECT_GE(got, 0);
        if (got <= 0)
            return all;
        all.append(buffer.data(), qsizetype(got));
    }
}

TEST(FileStreamTest, AFileReadsWholeFromAnyPlaceWhateverItsName) {
    QTemporaryDir dir;
    QByteArray content;
    for (int i = 0; i < 300000; ++i)
        content.append(char(i * 7 % 251));
    for (const char* name : {"plain.wav", "with space's \"quote\".wav", "ünï 字.flac",
                             "new\nline.wav", "per%41cent.ogg", "back\\slash.wav"}) {
        SCOPED_TRACE(name);
        const QByteArray path =
            QFile::encodeName(QDir(dir.path()).filePath(QString::fromUtf8(name)));
        QFile file(QFile::decodeName(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        mpv_stream_cb_info info{};
        ASSERT_EQ(openStream(path, &info), 0);
        EXPECT_EQ(info.size_fn(info.cookie), content.size());
        EXPECT_EQ(readAll(info, 0, 4096), content);
        EXPECT_EQ(readAll(info, 123457, 65536), content.mid(123457));
        EXPECT_EQ(readAll(info, 0, 4093), content) << "back to the start after the end";
        info.close_fn(info.cookie);
    }
    mpv_stream_cb_info info{};
    EXPECT_EQ(openStream(QFile::encodeName(QDir(dir.path()).filePath("missing.wav")), &info),
              MPV_ERROR_LOADING_FAILED);
    QByteArray wrong = QByteArrayLiteral("file:///etc/hostname");
    EXPECT_EQ(file_stream::open(nullptr, wrong.data(), &info), MPV_ERROR_LOADING_FAILED);
}

// A FIFO stands in for a drive that stops answering: an open waits for a
// writer, and a read waits for data that never comes.
TEST(FileStreamTest, AReadThatHangsEndsWhenMpvGivesUpAndAnOpenThatHangsFails) {
    QTemporaryDir dir;
    const QByteArray pipe = QFile::encodeName(QDir(dir.path()).filePath("drive.wav"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);

    // No writer: the open never comes back, and the load fails in bounded time.
    mpv_stream_cb_info hung{};
    auto opening = std::async(std::launch::async, [&] { return openStream(pipe, &hung); });
    ASSERT_EQ(opening.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(opening.get(), MPV_ERROR_LOADING_FAILED);

    // A writer that writes nothing: the open comes back, the read hangs. The
    // writer held open by this test lets the open left behind above come back too.
    const int writer = ::open(pipe.constData(), O_RDWR);
    ASSERT_GE(writer, 0);
    mpv_stream_cb_info info{};
    ASSERT_EQ(openStream(pipe, &info), 0);
    char buffer[64];
    auto reading = std::async(std::launch::async,
                              [&] { return info.read_fn(info.cookie, buffer, sizeof buffer); });
    EXPECT_EQ(reading.wait_for(100ms), std::future_status::timeout) << "the read did not wait";
    info.cancel_fn(info.cookie);
    ASSERT_EQ(reading.wait_for(20s), std::future_status::ready) << "a cancel left the read waiting";
    EXPECT_EQ(reading.get(), -1);
    EXPECT_EQ(info.read_fn(info.cookie, buffer, sizeof buffer), -1) << "a read after the cancel";
    info.close_fn(info.cookie);
    // The read left behind comes back once the drive answers, into the stream's own buffer.
    ASSERT_EQ(::write(writer, "late", 4), 4);
    ::close(writer);
}

// libmpv calls cancel from a thread of its own while another tears the
// stream down, so cancel may come during close or after it. Open, read,
// cancel and close are hammered from several threads, each stream cancelled
// from a second thread while its owner closes it and again once it is closed.
// Under the address and thread sanitizers any of that touching freed state fails.
TEST(FileStreamTest, CancelRacingCloseOrComingAfterItIsHarmless) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(QDir(dir.path()).filePath("a.wav"));
    QFile file(QFile::decodeName(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(70000, 'x'));
    file.close();

    // No Qt inside the threads: the thread sanitizer's run does not see into Qt.
    const std::string uri = uriOf(path).toStdString();
    constexpr int kThreads = 4, kRounds = 150;
    std::atomic<int> opened{0}, readWhole{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                mpv_stream_cb_info info{};
                std::string asked = uri;
                if (file_stream::open(nullptr, asked.data(), &info) != 0)
                    continue;
                ++opened;
                char buffer[65536];
                if (round % 2 == 0 && info.read_fn(info.cookie, buffer, sizeof buffer) > 0)
                    ++readWhole;
                std::thread canceller([&info] {
                    for (int i = 0; i < 20; ++i)
                        info.cancel_fn(info.cookie);
                });
                info.close_fn(info.cookie);
                canceller.join();
                info.cancel_fn(info.cookie);
                EXPECT_EQ(info.read_fn(info.cookie, buffer, sizeof buffer), -1)
                    << "a closed stream still reads";
                EXPECT_LT(info.size_fn(info.cookie), 0) << "a closed stream still has a size";
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(opened, kThreads * kRounds);
    EXPECT_EQ(readWhole, kThreads * kRounds / 2);
}

} // namespace
