#include "support/test_drive.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <unistd.h>

bool TestDrive::usable() {
    return QFile::exists(QStringLiteral("/dev/fuse")) && ::geteuid() == 0 &&
           QFile::exists(QStringLiteral(HUNG_FS_PATH));
}

TestDrive::TestDrive()
    : backing_(dir_.filePath(QStringLiteral("backing"))),
      mount_(dir_.filePath(QStringLiteral("drive"))), flag_(dir_.filePath(QStringLiteral("hang"))) {
    QDir().mkpath(backing_);
    QDir().mkpath(mount_);
    // A file at the top tells that the drive is there: the top always answers.
    QFile marker(backing_ + QStringLiteral("/.mounted"));
    if (!marker.open(QIODevice::WriteOnly))
        return;
    marker.close();
    fs_.setStandardOutputFile(QProcess::nullDevice());
    fs_.setStandardErrorFile(QProcess::nullDevice()); // its word on the unmount below
    fs_.start(QStringLiteral(HUNG_FS_PATH), {backing_, flag_, mount_});
    mounted_ = fs_.waitForStarted() &&
               QTest::qWaitFor([this] { return QFile::exists(mount_ + "/.mounted"); }, 10000);
}

TestDrive::~TestDrive() {
    answer();
    slow(0);
    QProcess::execute(QStringLiteral("fusermount3"), {"-u", "-z", mount_});
    fs_.terminate();
    if (!fs_.waitForFinished(5000)) {
        fs_.kill();
        fs_.waitForFinished(5000);
    }
}

void TestDrive::hang() {
    QFile(flag_).open(QIODevice::WriteOnly);
}

void TestDrive::answer() {
    QFile::remove(flag_);
}

void TestDrive::slow(int msPerCall) {
    const QString slow = flag_ + QStringLiteral(".slow");
    if (msPerCall <= 0) {
        QFile::remove(slow);
        return;
    }
    QFile file(slow);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray::number(msPerCall));
}
