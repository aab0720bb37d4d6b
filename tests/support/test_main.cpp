#include "support/isolated_user.h"

#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

// Every test process gets its own settings, data and Trash folders.
int main(int argc, char** argv) {
    QTemporaryDir home;
    isolateUserFolders(home.path());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
