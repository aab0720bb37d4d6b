#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

// Which file a path names at one moment: its device and inode, with its size
// and change time, so that a file moved aside and another written under the
// same name, or a file rewritten in place, never passes for the one before.
// The modification time, which a rename keeps, tells the history a file heard
// before from one written since.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    qint64 changedNs = 0;
    qint64 modifiedNs = 0;
    bool known() const { return size >= 0; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file the path names now (links followed); unknown when
// there is none, or when its drive does not answer.
FileIdentity identityOf(const QString& path);
// The same, with nothing at all when the drive does not answer in time.
std::optional<FileIdentity> identityWithin(const QString& path);
// The same on the calling thread, however long the drive takes.
FileIdentity identityNow(const QString& path);
