// Sends one file to the Trash through ShellDelete in mode 1 and prints every
// message box it would have shown, one per line. Used with a Trap folder that
// cannot be made, which only a separate process can be given.
#include "platform/dialogs.h"
#include "recycle/shell_delete.h"

#include <QCoreApplication>
#include <cstdio>

namespace {
class PrintingDialogs : public Dialogs {
  public:
    void showMessage(const QString& text, const QString&, MessageIcon) override {
        std::printf("%s\n",
                    qPrintable(displayedLines(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        // At once: a leak checker ends the process at exit before stdio's buffers are written.
        std::fflush(stdout);
    }
    bool askYesNo(const QString&, const QString&) override { return false; }
    int askChoice(const QString&, const QString&, const QStringList&) override { return -1; }
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PrintingDialogs dialogs;
    ShellDelete(QString::fromLocal8Bit(argv[1]), 1, dialogs);
    return 0;
}
