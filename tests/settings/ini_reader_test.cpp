#include "settings/ini_reader.h"
#include "settings/ini_writer.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "support/form_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Strings that exercise every rule of QSettings' escaping: quotes for commas,
// semicolons, equals signs and outer spaces; backslash escapes; \x escapes
// followed by what would read as more digits; a leading '@'. (A NUL, which no
// path holds, makes QSettings write "@String(...)", which is left to it.)
QStringList trickyStrings() {
    QStringList tricky = {
        QString(),
        QStringLiteral("/home/me/Music/plain.wav"),
        QStringLiteral("/m/Song, Remix; take=2.wav"),
        QStringLiteral("  /m/leading and trailing spaces.wav  "),
        QStringLiteral("\t/m/tab\tinside.wav\t"),
        QStringLiteral("/m/\"quoted\" and \\back\\slashed\\.wav"),
        QStringLiteral("/m/new\nline and \r return.wav"),
        QStringLiteral("/m/bell\a back\b form\f vtab\v.wav"),
        QStringLiteral("/m/it's a ? mark.wav"),
        QStringLiteral("/m/\u00e9t\u00e9 \u4e2d\u6587 \U0001F3B5.flac"),
        QStringLiteral("/m/\x01\x1f"
                       "0f then hex digits.wav"),
        QStringLiteral("/m/\x7f"
                       "delete.wav"),
        QStringLiteral("@/m/at the start.wav"),
        QStringLiteral("@@two ats"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@ByteArray(not one)"),
        QStringLiteral("/m/%20 percent %U0041.wav"),
        QStringLiteral("/m/[section] # hash ; semicolon.wav"),
        QStringLiteral("\""),
        QStringLiteral(","),
        QStringLiteral(" "),
        QStringLiteral("\\"),
    };
    // And random mixtures of the characters that matter.
    const QString pool = QStringLiteral(" \t\"\\,;=@%#[]xX0129afAF\u00e9\u4e2d\n\r\x01\x1b/.");
    QRandomGenerator random(2026);
    for (int i = 0; i < 400; ++i) {
        QString s;
        const int length = random.bounded(1, 12);
        for (int k = 0; k < length; ++k)
            s += pool.at(random.bounded(pool.size()));
        tricky << s;
    }
    return tricky;
}

TEST(IniReaderTest, ReadsEveryStringQSettingsWritesExactlyAsQSettingsReadsIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.conf"));
    const QStringList tricky = trickyStrings();
    {
        QSettings out(path, QSettings::IniFormat);
        out.setValue(QStringLiteral("Outside"), QStringLiteral("no section"));
        out.beginGroup(QStringLiteral("Thrennic"));
        for (int i = 0; i < tricky.size(); ++i)
            out.setValue(QStringLiteral("Song%1").arg(i), tricky[i]);
        out.setValue(QStringLiteral("ListCount"), QString::number(tricky.size()));
        out.endGroup();
        out.beginGroup(QStringLiteral("Other"));
        out.setValue(QStringLiteral("Song0"), QStringLiteral("not ours"));
    }
    const auto fast =
        readIniStrings(readAll(path), QLatin1String("Thrennic"), QLatin1String("Song"));
    ASSERT_TRUE(fast.has_value());
    QSettings back(path, QSettings::IniFormat);
    back.beginGroup(QStringLiteral("Thrennic"));
    const QStringList keys = back.childKeys();
    EXPECT_EQ(fast->size(), keys.size());
    for (const QString& key : keys) {
        const QString expected = back.value(key).toString();
        EXPECT_EQ(fast->value(key), expected) << key.toStdString() << " written as "
                                              << tricky.value(key.mid(4).toInt()).toStdString();
    }
}

// Escapes a person may write by hand, which QSettings itself never writes:
// what the quick reader takes, it takes as QSettings reads it.
TEST(IniReaderTest, HandWrittenEscapesReadAsQSettingsReadsThem) {
    const QByteArray values[] = {
        "/m/\\101.wav",      // octal: A
        "/m/\\1010.wav",     // three octal digits, then a plain 0
        "/m/\\x41.wav",      // hexadecimal
        "/m/\\x4142.wav",    // hexadecimal runs on
        "/m/a\\tb\\\"c.wav", // tab, quote
        "\"/m/q,uote.wav\"", // quoted
        "/m/\\0.wav",        // octal zero
    };
    QTemporaryDir dir;
    for (const QByteArray& value : values) {
        SCOPED_TRACE(value.toStdString());
        const QByteArray body = "[Thrennic]\nSong0=" + value + "\n";
        const QString path = dir.filePath(QStringLiteral("hand.conf"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(body);
        file.close();
        QSettings back(path, QSettings::IniFormat);
        const QString expected = back.value(QStringLiteral("Thrennic/Song0")).toString();
        const auto fast = readIniStrings(body, QLatin1String("Thrennic"), QLatin1String("Song"));
        ASSERT_TRUE(fast.has_value()) << "declined";
        EXPECT_EQ(fast->value(QStringLiteral("Song0")), expected);
    }
}

TEST(IniReaderTest, WhatItDoesNotReadItLeavesToQSettings) {
    const QByteArray declined[] = {
        "Song0=a, b\n",            // a list
        "Song0=@ByteArray(abc)\n", // a byte array
        "Song0=@Variant(\\0\\0\\0\\x7f)\n",
        "Song0=@Invalid()\n",
        "Song0=@String(\\0\\x37)\n",
        "Song0=a\\\nb\n",     // continued on the next line
        "Song0=a\nSong0=b\n", // given twice
        "Song%200=a\n",       // an escaped key name
        "Song0 x=a\n",
        "just a line\n",
    };
    for (const QByteArray& body : declined)
        EXPECT_FALSE(
            readIniStrings("[Thrennic]\n" + body, QLatin1String("Thrennic"), QLatin1String("Song")))
            << body.toStdString();
    EXPECT_FALSE(readIniStrings("\xef\xbb\xbf[Thrennic]\nSong0=a\n", QLatin1String("Thrennic"),
                                QLatin1String("Song")));
    // Elsewhere in the file such things do not matter; comments and blank lines never do.
    const auto read = readIniStrings(
        "[General]\nodd=a, b\n\n; a comment\n[Thrennic]\r\n# another\r\nSong0 = /m/a.wav \r\n",
        QLatin1String("Thrennic"), QLatin1String("Song"));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(QStringLiteral("Song0")), "/m/a.wav");
}

// Keys kept by number and keys kept by name never stand for one another.
TEST(IniReaderTest, NumberedAndOtherKeysEachKeepTheirOwnValue) {
    const QByteArray body = "[Thrennic]\nSong0=zero\nSong5=five\nSong05=oh five\nSong007=bond\n"
                            "song3=lower\nSongs=plural\nSong-1=minus\nSong2x=mixed\n"
                            "Song999999999=far\nListCount=2\n";
    const auto read = readIniStrings(body, QLatin1String("Thrennic"), QLatin1String("Song"));
    ASSERT_TRUE(read.has_value());
    const QList<QPair<QString, QString>> expected = {
        {"Song0", "zero"},        {"Song5", "five"},   {"Song05", "oh five"}, {"Song007", "bond"},
        {"song3", "lower"},       {"Songs", "plural"}, {"Song-1", "minus"},   {"Song2x", "mixed"},
        {"Song999999999", "far"}, {"ListCount", "2"},
    };
    EXPECT_EQ(read->size(), expected.size());
    QStringList keys = read->keys();
    keys.sort();
    QStringList names;
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(read->value(key), value) << key.toStdString();
        names << key;
    }
    names.sort();
    EXPECT_EQ(keys, names);
    for (const char* absent : {"Song1", "Song7", "Song6", "Song00", "Song", "Song9999999999"})
        EXPECT_FALSE(read->contains(QString::fromLatin1(absent))) << absent;
    EXPECT_EQ(read->value(QStringLiteral("Song1"), QStringLiteral("none")), "none");
    EXPECT_FALSE(readIniStrings("[Thrennic]\nSong3=a\nSong3=b\n", QLatin1String("Thrennic"),
                                QLatin1String("Song")))
        << "a numbered key given twice";
}

// QSettings is only made for the files the quick reader declines, so every file
// it reads must be one QSettings opens without a format error.
TEST(IniReaderTest, AFileItReadsIsOneQSettingsOpensWithoutComplaint) {
    const QByteArray headings[] = {
        "[Other]\n", "[Other] \n", "[a;b]\n",   "[a\"b]\n",     "[a\"]\"]\n",
        "[x\n",      "[x]y\n",     "[x];y]\n",  "[%General]\n", "[General]\n",
        "[;]\n",     "[\"\n]\n",   "\t[tab]\n", "[a]\r\n",      "[]\n",
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.conf"));
    for (const QByteArray& heading : headings) {
        const QByteArray body = heading + "k=v\n[Thrennic]\nSong0=/m/a.wav\n";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(body);
        file.close();
        if (!readIniStrings(body, QLatin1String("Thrennic"), QLatin1String("Song")))
            continue;
        QSettings settings(path, QSettings::IniFormat);
        EXPECT_EQ(settings.status(), QSettings::NoError) << body.toStdString();
    }
}

// A file the quick reader leaves alone is read through QSettings, as before.
class SettingsFileTest : public FormTest {};

TEST_F(SettingsFileTest, AFileTheQuickReaderDeclinesIsStillReadWhole) {
    const QString a = makeFile(QStringLiteral("a.wav")), b = makeFile(QStringLiteral("b.wav"));
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Thrennic]\nListCount=2\nSong0=" + a.toUtf8() + "\nSong1=\"" + b.toUtf8() +
               "\"\nSomethingElse=x, y\n");
    file.close();
    IniSettingsStore store;
    EXPECT_EQ(store.read(QStringLiteral("Song0"), {}), a);
    EXPECT_EQ(store.read(QStringLiteral("Song1"), {}), b);
    EXPECT_EQ(store.songKeyLimit(1000), 2);
    EXPECT_EQ(store.read(QStringLiteral("Missing"), QStringLiteral("fallback")), "fallback");
}

// Read quickly or by QSettings, the limit is the same: the highest key, capped.
TEST_F(SettingsFileTest, TheSongLimitIsTheHighestKeyCappedByWhatIsAskedFor) {
    for (const char* also : {"", "Other=x, y\n"}) { // the second is left to QSettings
        QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Thrennic]\nSong0=a\nSong1=b\nSong4=e\nSongs=x\nSong-7=y\n") + also);
        file.close();
        IniSettingsStore store;
        EXPECT_EQ(store.songKeyLimit(2), 2) << also;
        EXPECT_EQ(store.songKeyLimit(3), 3) << also;
        EXPECT_EQ(store.songKeyLimit(5), 5) << also;
        EXPECT_EQ(store.songKeyLimit(2000000000), 5) << also;
        EXPECT_EQ(store.songKeyLimit(0), 0) << also;
    }
}

// The restore takes the saved list at once where the store has it at hand;
// what it gets must be what reading each key gives, gaps and odd keys included.
TEST_F(SettingsFileTest, TheSongsAtHandAreWhatReadingEachKeyGives) {
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Song40 is beyond the file's line count, Song01 and Songs are not list keys.
    file.write("[Thrennic]\nSong0=/m/a b.wav\nSong1=\"/m/q,uote.wav\"\nSong4=/m/\\x41.wav\n"
               "Song01=x\nSongs=y\nSong40=/m/far.wav\n[Other]\nSong2=not ours\n");
    file.close();
    IniSettingsStore store;
    for (const int count : {0, 1, 3, 5, 40, 41, 60}) {
        const std::optional<QStringList> atHand = store.songsAtHand(count);
        ASSERT_TRUE(atHand) << count;
        ASSERT_EQ(atHand->size(), count);
        QString key;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(atHand->at(i), store.read(settings_keys::songKey(key, i), QString()))
                << count << " " << i;
    }
    EXPECT_EQ(store.songsAtHand(41)->at(40), "/m/far.wav");
    EXPECT_EQ(store.songsAtHand(5)->at(4), "/m/A.wav");
    EXPECT_TRUE(store.songsAtHand(5)->at(2).isEmpty());

    // Once saved, the store reads the file afresh, with what the save wrote.
    store.write(QStringLiteral("Song0"), QStringLiteral("/m/new.wav"));
    store.commit();
    EXPECT_EQ(store.songsAtHand(5)->at(0), "/m/new.wav");
    EXPECT_EQ(store.read(QStringLiteral("Song0"), {}), "/m/new.wav");
    EXPECT_EQ(store.read(QStringLiteral("Song4"), {}), "/m/A.wav");
}

// A key numbered in the thousands of millions would have the restore hold as
// many empty slots, which no memory takes (it crashed the program); read
// quickly or by QSettings, it is no part of the list.
TEST_F(SettingsFileTest, AKeyNumberedFarBeyondTheOthersIsNoPartOfTheList) {
    for (const char* also : {"", "Other=x, y\n"}) {
        QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Thrennic]\nListCount=2000000000\nSong0=a\nSong2=c\n"
                              "Song1999999999=z\n") +
                   also);
        file.close();
        IniSettingsStore store;
        EXPECT_EQ(store.songKeyLimit(2000000000), 3) << also; // the gap at Song1 stays
        EXPECT_EQ(store.songKeyLimit(2), 2) << also;
    }
}

// Damage is told apart from text whatever the file's size: characters of every
// width at every position are text, a stray byte or a NUL far in is not.
TEST_F(SettingsFileTest, ALongFileIsCheckedForDamageToItsLastByte) {
    QByteArray wide;
    while (wide.size() < 200000)
        wide += QStringLiteral("a\u00e9\u20ac\U0001F3B5").toUtf8();
    // Plain ASCII, as nearly every list is, up to the damage.
    for (const QByteArray& mixed : {wide, QByteArray(200000, 'a')}) {
        const auto write = [&](const QByteArray& tail) {
            QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
            QFile file(settingsFile());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("[Thrennic]\nListCount=1\nSong0=/m/" + mixed + tail + ".wav\n");
        };
        write("");
        {
            IniSettingsStore store;
            EXPECT_EQ(store.read(QStringLiteral("ListCount"), {}), "1");
            EXPECT_EQ(store.read(QStringLiteral("Song0"), {}).toUtf8(), "/m/" + mixed + ".wav");
        }
        for (const QByteArray& damage : {QByteArray("\xff"), QByteArray("\xe2\x82"),
                                         QByteArray(1, '\0'), QByteArray("\x80")}) {
            write(damage);
            IniSettingsStore store;
            EXPECT_THROW(store.read(QStringLiteral("ListCount"), {}), std::exception)
                << damage.toHex().toStdString();
        }
    }
}

// A heading QSettings cannot read makes the file damaged, though every line
// of the list itself could be read.
TEST_F(SettingsFileTest, AFileWithAHeadingQSettingsCannotReadIsDamaged) {
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Other;note]\nk=v\n[Thrennic]\nListCount=1\nSong0=/m/a.wav\n");
    file.close();
    IniSettingsStore store;
    try {
        store.read(QStringLiteral("ListCount"), {});
        ADD_FAILURE() << "read as sound";
    } catch (const std::exception& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("is damaged")) << e.what();
    }
}

// The writer is the reader's mirror: for the same values set in the same order
// over the same file, it writes what QSettings writes, byte for byte, and
// QSettings reads every key back as it was written.
TEST(IniWriterTest, WritesWhatQSettingsWritesAndQSettingsReadsItBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.conf"));
    const QStringList tricky = trickyStrings();
    const QByteArray others = "[Before]\nkey=a value\nlist=x, y\n\n";
    const QByteArray after = "\n[Zeta]\nz=\"quoted, kept\"\n";
    struct Case {
        const char* what;
        QByteArray file;
    };
    const std::vector<Case> cases = {
        {"no file yet", {}},
        {"other sections only", others + "[After]\nk=v\n"},
        {"the section among others, with keys of its own",
         others + "[Thrennic]\nSong3=/old/three.wav\nListCount=2\nKept=\" spaced \"\n" + after},
        {"the section last", others + "[Thrennic]\nSong0=/old/zero.wav\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        SettingsWrites writes{{"Shuffle", "1"}, {"Repeat", "0"}, {"ListCount", "400"}};
        for (int i = 0; i < tricky.size(); ++i)
            writes.append(qMakePair(QStringLiteral("Song%1").arg(i), tricky[i]));
        // The later of equal keys wins.
        writes.append(qMakePair(QStringLiteral("Song3"), QStringLiteral("/new/three.wav")));
        const std::optional<QByteArray> ours =
            mergedIniFile(each.file, QLatin1String("Thrennic"), QLatin1String("Song"), writes);
        ASSERT_TRUE(ours);
        QFile::remove(path);
        if (!each.file.isNull()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(each.file);
        }
        {
            QSettings settings(path, QSettings::IniFormat);
            settings.beginGroup(QStringLiteral("Thrennic"));
            for (const auto& [key, value] : writes)
                settings.setValue(key, value);
        }
        EXPECT_EQ(*ours, readAll(path));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(*ours);
        file.close();
        QSettings back(path, QSettings::IniFormat);
        ASSERT_EQ(back.status(), QSettings::NoError);
        for (int i = 0; i < tricky.size(); ++i) {
            if (i != 3) {
                ASSERT_EQ(back.value(QStringLiteral("Thrennic/Song%1").arg(i)).toString(),
                          tricky[i])
                    << i;
            }
        }
        EXPECT_EQ(back.value("Thrennic/Song3").toString(), "/new/three.wav");
    }
}

TEST(IniWriterTest, AFileOnlyQSettingsCanRewriteIsLeftToIt) {
    const SettingsWrites writes{{"ListCount", "1"}};
    for (const QByteArray& file :
         {QByteArray("[Thrennic]\nOther=x, y\n"), QByteArray("[Thrennic]\na=1\n[Thrennic]\nb=2\n"),
          QByteArray("[Thrennic]\nSong0=/m/continued \\\nline\n")}) {
        EXPECT_FALSE(mergedIniFile(file, QLatin1String("Thrennic"), QLatin1String("Song"), writes))
            << file.toStdString();
    }
}

// A save is written while the window goes on: saves asked for meanwhile (here
// while another copy holds the lock a moment) land as one, with the newest list.
TEST_F(SettingsFileTest, SavesThatPileUpLandWithTheNewestListAndNeverHoldTheWindow) {
    const QString a = makeFile(QStringLiteral("a.wav"));
    drop({a});
    ASSERT_EQ(saveFailure(), "");
    std::atomic<bool> held = false;
    std::thread otherCopy([&] {
        QLockFile lock(settingsFile() + QStringLiteral(".lock"));
        ASSERT_TRUE(lock.tryLock(5000));
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }, 5000));
    for (int n = 1; n <= 20; ++n) {
        drop({makeFile(QStringLiteral("more/%1.wav").arg(n))});
        form->SaveListAndOptions();
        if (n == 1) {
            EXPECT_FALSE(store->waitForSaves(0)) << "the window waited for the disk";
        }
    }
    otherCopy.join();
    EXPECT_EQ(stored("ListCount"), "21");
    EXPECT_EQ(stored("Song20"), QDir(dir.path()).filePath("more/20.wav"));
    EXPECT_TRUE(dialogs.shown.empty()) << "a lock held a moment is no failure";
}

// Closing waits for the last save as long as its writer gets work done (a
// long list on a busy machine is slow, not stuck), and not beyond its wait
// for one that does nothing (held up by another copy's lock here, as by a
// drive that stopped answering).
TEST_F(SettingsFileTest, AWriterAtWorkIsWaitedForAndOneThatDoesNothingIsNot) {
    IniSettingsStore store;
    const QStringList paths(200'000, QStringLiteral("/music/a name of the usual length.wav"));
    store.write(QStringLiteral("ListCount"), QString::number(paths.size()));
    store.writeNumbered(QStringLiteral("Song"), paths);
    QElapsedTimer clock;
    clock.start();
    store.commit();
    EXPECT_TRUE(store.waitForSaves(100)) << "a save at work was taken for a stuck one";
    EXPECT_GT(clock.elapsed(), 100) << "the save was too quick to tell anything";
    QLockFile other(settingsFile() + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(5000));
    store.write(QStringLiteral("ListCount"), QStringLiteral("1"));
    store.commit();
    EXPECT_FALSE(store.waitForSaves(100));
    other.unlock();
    EXPECT_TRUE(store.waitForSaves(20000));
}

} // namespace
