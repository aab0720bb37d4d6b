#include "support/qt_printers.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// A program killed in the middle of saving leaves the old or the new playlist,
// never a broken file: the file is replaced whole. With a long list too, whose
// save takes long enough for many kills to land inside it.
TEST(KillWhileSavingTest, TheFileAlwaysHoldsOneWholePlaylist) {
    for (const int base : {20, 100000}) {
        SCOPED_TRACE(base);
        QTemporaryDir config;
        const QString file = config.path() + QStringLiteral("/Kestrelin/Kestrelin.conf");
        // The kill times come from a seed that is printed, so a failing run can be
        // replayed with THRENNIC_KILL_SEED set to it.
        const quint32 seed = qEnvironmentVariableIsSet("THRENNIC_KILL_SEED")
                                 ? qEnvironmentVariable("THRENNIC_KILL_SEED").toUInt()
                                 : QRandomGenerator::global()->generate();
        std::printf("THRENNIC_KILL_SEED=%u\n", seed);
        QRandomGenerator random(seed);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        QFile::remove(file);
        for (int round = 0; round < (base > 1000 ? 6 : 12); ++round) {
            QProcess writer;
            writer.setProcessEnvironment(env);
            writer.start(QStringLiteral(SETTINGS_WRITER_PATH), {QString::number(base)});
            ASSERT_TRUE(writer.waitForStarted());
            ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(file); }, 10000));
            QTest::qWait(5 + static_cast<int>(random.bounded(base > 1000 ? 400 : 60)));
            writer.kill();
            writer.waitForFinished();

            QSettings saved(file, QSettings::IniFormat);
            ASSERT_EQ(saved.status(), QSettings::NoError);
            saved.beginGroup(QStringLiteral("Thrennic"));
            const int count = saved.value(QStringLiteral("ListCount")).toInt();
            ASSERT_GE(count, base);
            const QString first = saved.value(QStringLiteral("Song0")).toString();
            const QString save = first.section(QLatin1Char('/'), 2, 2); // "save <g>"
            ASSERT_EQ(count, base + save.mid(5).toInt() % 37)
                << "count and songs come from one save";
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(saved.value(QStringLiteral("Song%1").arg(i)).toString(),
                          QStringLiteral("/music/%1/song %2.mp3").arg(save).arg(i));
        }
    }
}

} // namespace
