#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A drive of the test's own (tests/tools/hung_fs over a folder): healthy, slow
// (every call answered after a wait) or one that stops answering, as a network
// share does. Mounting needs /dev/fuse and root; usable() says whether it can.
class TestDrive {
  public:
    static bool usable();
    TestDrive();
    ~TestDrive();
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return mount_; }      // where the program sees its files
    QString backing() const { return backing_; } // the same files, off the drive
    void hang();                                 // every look below the top waits...
    void answer();                               // ...until this
    void slow(int msPerCall);                    // every call waits this long; 0: no more

  private:
    QTemporaryDir dir_;
    QString backing_, mount_, flag_;
    QProcess fs_;
    bool mounted_ = false;
};
