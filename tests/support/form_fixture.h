#pragma once

#include "app/form1.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The real window, offscreen, with the fake engine and recording boxes, the real
// settings file (in the test process's own XDG_CONFIG_HOME, emptied first) and a
// folder of real files to play, drop and delete.
class FormTest : public ::testing::Test {
  protected:
    FormTest();
    ~FormTest() override;

    // Closes nothing and saves nothing: builds a fresh window over what the
    // settings file holds now, as the next start of the program would.
    void restart();
    // Runs on the next window's engine before it loads.
    std::function<void(FakeEngine&)> beforeLoad;
    static QString settingsFile();
    // The settings file read afresh, group [Thrennic], once the saves asked for have landed.
    QString stored(const QString& key);
    // Saves as the program does and waits for the save: the message its
    // failure showed, or "" when it went through.
    QString saveFailure();

    // Creates a file with some bytes in it; folders on the way are made.
    QString makeFile(const QString& relative, const QByteArray& bytes = "RIFF");
    // Drops the paths on the list as a file manager would, through the real drop events.
    void drop(const QStringList& paths);
    QStringList listTexts() const;
    QStringList playlistPaths() const;
    QString currentPath() const;
    int selectedEntry() const;
    // What the user's Trash holds (file names; a file or an info file without the
    // other is named so) and the original path noted for one.
    static QStringList trashedNames();
    static QString trashedFrom(const QString& name);
    static void emptyTrash();

    // Shows the window (offscreen) and waits until it is the active one, for focus and keys.
    void showActive();
    // A key press as the window system delivers it, to where after it takes the focus;
    // returns once the Delete-key poll the press may have armed has had its tick.
    void pressKey(QWidget* where, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The playing file sounds and plays on a while, as a user hears it before a
    // press (the entry that plays after a delete is taken only once heard).
    void hearPlaying();

    QTemporaryDir dir;
    QTemporaryDir historyDir; // the history's, kept across restarts as the user's is
    QString historyFile() const { return historyDir.filePath(QStringLiteral("history.sqlite")); }
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    QStringList foldersShown;
    bool folderOpens = true; // whether a file manager opens the folders shown
    std::unique_ptr<SettingsStore> store;
    FakeEngine* engine = nullptr;
    int endProgramCalls = 0;
    std::unique_ptr<Form1> form;
};

// Three files music/a, b and c with the given extension, dropped on the list in that order.
class ThreeFilesTest : public FormTest {
  protected:
    void dropThree(const QString& extension);
    QString a, b, c;
};
