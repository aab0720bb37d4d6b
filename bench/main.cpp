#include "support/isolated_user.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <clocale>

// The window is built offscreen; deletes go to a Trash in a temporary folder.
int main(int argc, char** argv) {
    QTemporaryDir home;
    isolateUserFolders(home.path());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
