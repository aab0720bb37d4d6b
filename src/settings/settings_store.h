#pragma once

#include "settings/ini_reader.h"
#include "settings/settings_keys.h"
#include "settings/settings_writer.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

// The per-user store of named string values, section "Thrennic". Reads take a
// default for a missing key. Writes are kept until commit(), which stores them
// all at once, so a failed save is never silent and never leaves half a
// playlist behind: a store that saves while the window goes on hands the
// reason to onFailure later, on this thread; one that saves at once raises.
class SettingsStore {
  public:
    using FailureHandler = std::function<void(const QString& why)>;
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& key, const QString& fallback) = 0;
    virtual void write(const QString& key, const QString& value) = 0;
    // write for the keys prefix0, prefix1, … in one go: a list of a hundred
    // thousand need not build as many keys where the store can do it later.
    virtual void writeNumbered(const QString& prefix, const QStringList& values) {
        for (qsizetype i = 0; i < values.size(); ++i)
            write(settings_keys::numberedKey(prefix, i), values[i]);
    }
    virtual void commit(FailureHandler onFailure = {}) = 0;
    // Waits until what was committed is stored and its failure told, at most
    // ms (-1: however long); true when nothing is left to store.
    virtual bool waitForSaves(int /*ms*/) { return true; }
    // One past the highest n of the keys "Song<n>" that exist, or atMost when
    // that is lower, so that a count far beyond them need not be walked key by
    // key. With "Song<atMost - 1>" there, the answer comes without a walk. A
    // key numbered far beyond the number of keys there are is no part of the list.
    virtual int songKeyLimit(int atMost) = 0;
    // The values of Song0 to Song<count - 1>, empty for a key that is not
    // there, when the store holds them all at hand: what reading each key
    // would give, without building and looking up ten thousand keys. Nothing
    // when they are to be read key by key.
    virtual std::optional<QStringList> songsAtHand(int /*count*/) { return std::nullopt; }
    // The player's own options, group [Options] beside the program's section:
    // read as read(), written with the next commit.
    virtual QString readOption(const QString& key, const QString& fallback) = 0;
    virtual void writeOption(const QString& key, const QString& value) = 0;
    // The folders bound to keys, group [Folders] beside the program's section:
    // key "1" to "9", each a folder's path.
    virtual QHash<QString, QString> folderBindings() = 0;
    // Binds one, saved at once after the saves under way; the program's
    // section is not touched. Raises when it cannot be saved.
    virtual void bindFolder(const QString& key, const QString& folder) = 0;
    // Where the settings are kept; empty when not in a file.
    virtual QString fileName() const { return {}; }
};

// The store on disk: $XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf, INI format,
// group [Thrennic]. Each commit is saved by a writer thread from what was
// written (see SettingsWriter): the file is replaced whole, merged key by key
// with what another running copy may have written meanwhile. A damaged file
// (not text) or a folder in its place fails the first read; the store then
// reads as empty, and the next commit puts the damaged file aside as
// Kestrelin.conf.damaged and writes a good one. Anything but a plain file in
// its place (a folder, a pipe, a device) is never opened, since reading a pipe
// would wait for good; saves then fail with the reason until it is gone. A
// read after a commit waits for it and reads the file afresh.
class IniSettingsStore : public SettingsStore {
  public:
    IniSettingsStore();
    ~IniSettingsStore() override;
    QString read(const QString& key, const QString& fallback) override;
    void write(const QString& key, const QString& value) override;
    void writeNumbered(const QString& prefix, const QStringList& values) override;
    void commit(FailureHandler onFailure = {}) override;
    bool waitForSaves(int ms) override;
    int songKeyLimit(int atMost) override;
    std::optional<QStringList> songsAtHand(int count) override;
    QString readOption(const QString& key, const QString& fallback) override;
    void writeOption(const QString& key, const QString& value) override;
    QHash<QString, QString> folderBindings() override;
    void bindFolder(const QString& key, const QString& folder) override;
    QString fileName() const override;

  private:
    void open();
    void checkFile();
    void readAfresh(); // once what was committed is on disk
    QHash<QString, QString> groupIn(QByteArrayView bytes, QLatin1String group);
    QSettings* qsettings(); // null while no plain file stands at path_

    QString path_;
    bool present_ = false;                // no folder or special file stands at path_
    std::unique_ptr<QSettings> settings_; // made when first needed
    SettingsWrites pending_;
    NumberedWrites pendingNumbered_;
    bool committed_ = false; // saved since the file was last read
    SettingsWriter writer_;
    QString damage_; // why the file could not be read, until it is mended
    // The file's values as read at start-up, when it holds nothing but plain
    // strings; reads come from here until the first save hands them to QSettings.
    std::optional<IniStrings> atStart_;
    QHash<QString, QString> folders_; // [Folders] as last read
    QHash<QString, QString> options_; // [Options] as last read
    SettingsWrites pendingOptions_;
    bool damageReported_ = false;
};

// A store in memory, for benchmarks that measure the window rather than the disk.
class MemorySettingsStore : public SettingsStore {
  public:
    QString read(const QString& key, const QString& fallback) override {
        return values.value(key, fallback);
    }
    void write(const QString& key, const QString& value) override { pending.insert(key, value); }
    void commit(FailureHandler onFailure = {}) override;
    int songKeyLimit(int atMost) override;
    QString readOption(const QString& key, const QString& fallback) override {
        return options.value(key, fallback);
    }
    void writeOption(const QString& key, const QString& value) override {
        options.insert(key, value);
    }
    QHash<QString, QString> folderBindings() override { return folders; }
    void bindFolder(const QString& key, const QString& folder) override {
        folders.insert(key, folder);
    }

    QHash<QString, QString> values, pending, folders, options;
};

// Text-to-integer conversions of the store's values; raise on anything else.
int toInt32(const QString& text);
short toInt16(const QString& text);
