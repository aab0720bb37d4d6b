#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

// Every test process gets its own settings, data and Trash folders, set before
// Qt or GIO read them (GIO reads XDG_DATA_HOME once per process).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qputenv("THRENNIC_TEST_ROOT", home.path().toUtf8());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
