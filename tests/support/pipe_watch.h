#pragma once

#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// A named pipe that nobody writes to, watched while it exists: should anything
// open it for reading (and so wait for good), the watch opens it for writing
// and closes it again, which ends that wait, and notes that it had to.
class PipeWatch {
  public:
    explicit PipeWatch(const QString& path) : path_(QFile::encodeName(path)) {
        made_ = ::mkfifo(path_.constData(), 0600) == 0;
        watcher_ = std::thread([this] {
            while (!done_) {
                // Without a reader this fails at once; with one it ends the reader's wait.
                const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    readerWaited_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~PipeWatch() {
        done_ = true;
        watcher_.join();
        ::unlink(path_.constData());
    }
    bool made() const { return made_; }
    bool readerWaited() const { return readerWaited_; }

  private:
    QByteArray path_;
    bool made_ = false;
    std::atomic<bool> done_{false}, readerWaited_{false};
    std::thread watcher_;
};
