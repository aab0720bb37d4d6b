#include "platform/leftovers.h"
#include "support/fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Only this program's temporaries, only regular files, only those whose
// writer is gone: everything else in the folder is the user's.
TEST(LeftoversTest, OnlyTemporariesOfEndedWritersGoAndOnlyPlainFiles) {
    QTemporaryDir dir;
    const QString gone = QString::number(endedProcess());
    const QString running = QString::number(::getppid());
    const QString own = QString::number(::getpid());
    const struct {
        QString name;
        bool removed;
        bool folder = false;
    } cases[] = {
        {".take 1.wav.part-" + gone, true},
        {".Kestrelin.conf.k3x9z.part-" + gone, true}, // a settings save's
        {".été\n\"odd\".wav.part-" + gone, true},
        {".take 2.wav.part-" + running, false},
        {".take 3.wav.part-" + own, false}, // a copy or save of this process may be writing it
        {"take 4.wav.part-" + gone, false}, // not hidden: not one of ours
        {"..part-" + gone, false},          // no name before it
        {".take 5.wav.part-" + gone + "x", false},
        {".take 6.wav.part-0", false},
        {".take 7.wav.part-99999999999", false},
        {".take 8.wav.part-" + gone, false, true}, // a folder of that name
        {"take 9.wav", false},
    };
    for (const auto& each : cases) {
        const QString path = dir.path() + '/' + each.name;
        if (each.folder) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    // A link of that name, pointing at the user's file: neither goes.
    ASSERT_TRUE(QFile::link(dir.path() + "/take 9.wav", dir.path() + "/.take 10.wav.part-" + gone));

    const QStringList removed = leftovers::sweep(dir.path());
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name.toStdString());
        EXPECT_EQ(QFileInfo::exists(dir.path() + '/' + each.name), !each.removed);
        EXPECT_EQ(removed.contains(each.name), each.removed);
    }
    EXPECT_TRUE(QFileInfo(dir.path() + "/.take 10.wav.part-" + gone).isSymLink());
    EXPECT_TRUE(QFile::exists(dir.path() + "/take 9.wav"));
}

} // namespace
