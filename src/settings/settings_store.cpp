#include "settings/settings_store.h"

#include "platform/plain_file.h"
#include "settings/ini_reader.h"

#include "platform/failure.h"
#include "settings/settings_keys.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Every byte under 0x80. Read eight at a time, without stopping early, which
// the compiler turns into a few wide instructions per block.
bool isAscii(QByteArrayView bytes) {
    const char* const data = bytes.data();
    const size_t size = size_t(bytes.size());
    quint64 high = 0;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        high |= word;
    }
    for (; i < size; ++i)
        high |= uchar(data[i]);
    return (high & 0x8080808080808080ULL) == 0;
}

// No NUL bytes, and UTF-8 throughout. Checked a slice at a time: decoding the
// whole file at once makes a string twice its size only to throw it away; a
// slice of plain ASCII (nearly all of a list's paths) is UTF-8 as it stands.
bool isUtf8Text(QByteArrayView bytes) {
    if (std::memchr(bytes.data(), 0, size_t(bytes.size())))
        return false;
    constexpr qsizetype kSlice = 16 * 1024;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    std::vector<QChar> decoded;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(at + kSlice, bytes.size());
        // Slices end before a character's first byte, never inside a character.
        while (end < bytes.size() && (static_cast<uchar>(bytes[end]) & 0xC0) == 0x80)
            ++end;
        const QByteArrayView slice = bytes.sliced(at, end - at);
        at = end;
        if (isAscii(slice))
            continue;
        decoded.resize(size_t(utf8.requiredSpace(slice.size())));
        utf8.appendToBuffer(decoded.data(), slice);
        if (utf8.hasError())
            return false;
    }
    return true;
}

// "Song12" gives 13; any other key gives 0.
int songLimitOf(const QString& key) {
    const QLatin1String prefix(settings_keys::kSongPrefix);
    if (!key.startsWith(prefix))
        return 0;
    const QStringView number = QStringView(key).mid(prefix.size());
    // The program writes plain digits; anything else gets the full reading.
    if (!number.isEmpty() && number.size() <= 9 &&
        std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        int n = 0;
        for (const QChar c : number)
            n = n * 10 + (c.unicode() - u'0');
        return n + 1;
    }
    bool ok = false;
    const int n = number.toInt(&ok);
    return ok && n >= 0 && n < std::numeric_limits<int>::max() ? n + 1 : 0;
}

// One past the highest Song key among keys, all the store holds, or atMost
// when that is lower. The program saves a list without gaps, and one edited
// by hand has a few; a key numbered far beyond the keys there are (Song1999999999,
// say) would have the restore walk and hold thousands of millions of empty
// slots, which no memory takes. Such a key is not part of the list.
template <class Keys> int songLimitAmong(const Keys& keys, int atMost) {
    const qsizetype furthest = 2 * qsizetype(keys.size()) + 1000;
    int limit = 0;
    for (const QString& key : keys)
        if (const int keyLimit = songLimitOf(key); keyLimit <= furthest)
            limit = std::max(limit, keyLimit);
    return std::min(limit, atMost);
}

qlonglong toInteger(const QString& text, qlonglong low, qlonglong high) {
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw Failure(QStringLiteral("'%1' is not a number").arg(text));
    if (n < low || n > high)
        throw Failure(QStringLiteral("'%1' is out of range").arg(text));
    return n;
}

// $XDG_CONFIG_HOME/Kestrelin/Kestrelin.conf (QSettings' own user path would end in .ini).
QString settingsFilePath() {
    const QString app = QLatin1String(settings_keys::kApplication);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + app + QLatin1Char('/') + app + QStringLiteral(".conf");
}

} // namespace

int toInt32(const QString& text) {
    return static_cast<int>(
        toInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

short toInt16(const QString& text) {
    return static_cast<short>(
        toInteger(text, std::numeric_limits<short>::min(), std::numeric_limits<short>::max()));
}

IniSettingsStore::IniSettingsStore() : path_(settingsFilePath()) {
    open();
    checkFile();
}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::open() {
    atStart_.reset();
    settings_.reset();
    present_ = !standsInTheWay(path_);
}

QSettings* IniSettingsStore::qsettings() {
    // Made when first needed: it reads the whole file, which start-up has
    // already read when the file holds nothing but plain strings.
    if (!settings_ && present_) {
        settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
        settings_->beginGroup(QLatin1String(settings_keys::kSection));
    }
    return settings_.get();
}

QString IniSettingsStore::fileName() const {
    return path_;
}

void IniSettingsStore::checkFile() {
    const QFileInfo info(fileName());
    if (!info.exists())
        return;
    if (!info.isFile()) {
        damage_ = QStringLiteral("The settings file %1 is not a file").arg(fileName());
        return;
    }
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly)) {
        damage_ = QStringLiteral("The settings file %1 cannot be read").arg(fileName());
        return;
    }
    // QSettings reads anything without complaint; text it is not, if it holds
    // NUL bytes or is not UTF-8.
    const QByteArray bytes = file.readAll();
    if (!isUtf8Text(bytes)) {
        damage_ = QStringLiteral("The settings file %1 is damaged").arg(fileName());
        return;
    }
    atStart_ = readIniStrings(bytes, QLatin1String(settings_keys::kSection),
                              QLatin1String(settings_keys::kSongPrefix));
    folders_ = groupIn(bytes, QLatin1String(settings_keys::kFoldersSection));
    options_ = groupIn(bytes, QLatin1String(settings_keys::kOptionsSection));
    // A file the quick reader takes whole is one QSettings reads without a
    // complaint, so QSettings is only asked about the others.
    if (!atStart_ && qsettings()->status() != QSettings::NoError)
        damage_ = QStringLiteral("The settings file %1 is damaged").arg(fileName());
}

QHash<QString, QString> IniSettingsStore::groupIn(QByteArrayView bytes, QLatin1String group) {
    // Looked for first: the quick reader then starts at the group, not at the
    // top of a list of a hundred thousand songs.
    const QByteArray heading = '[' + QByteArray(group.data(), group.size()) + "]\n";
    const qsizetype at = bytes.startsWith(heading) ? 0 : bytes.indexOf("\n" + heading);
    QHash<QString, QString> values;
    if (at < 0)
        return values;
    const std::optional<IniStrings> quick =
        readIniStrings(bytes.sliced(at), group, QLatin1String(settings_keys::kSongPrefix));
    if (quick) {
        for (const QString& key : quick->keys())
            values.insert(key, quick->value(key));
        return values;
    }
    QSettings settings(path_, QSettings::IniFormat);
    settings.beginGroup(group);
    for (const QString& key : settings.childKeys())
        values.insert(key, settings.value(key).toString());
    return values;
}

QString IniSettingsStore::readOption(const QString& key, const QString& fallback) {
    readAfresh();
    if (!damage_.isEmpty() || !present_)
        return fallback;
    return options_.value(key, fallback);
}

void IniSettingsStore::writeOption(const QString& key, const QString& value) {
    pendingOptions_.append({key, value});
}

QHash<QString, QString> IniSettingsStore::folderBindings() {
    readAfresh();
    return damage_.isEmpty() && present_ ? folders_ : QHash<QString, QString>();
}

void IniSettingsStore::bindFolder(const QString& key, const QString& folder) {
    writer_.waitForSaves(-1); // the list saved before stays saved
    if (standsInTheWay(path_))
        throw Failure(
            QStringLiteral("The settings could not be saved: %1 is not a plain file").arg(path_));
    {
        // QSettings takes the file's lock and merges with what is there.
        QSettings settings(path_, QSettings::IniFormat);
        settings.beginGroup(QLatin1String(settings_keys::kFoldersSection));
        settings.setValue(key, folder);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            throw Failure(QStringLiteral("The settings could not be saved to %1").arg(path_));
    }
    committed_ = true; // read afresh next time
}

void IniSettingsStore::readAfresh() {
    if (!std::exchange(committed_, false))
        return;
    writer_.waitForSaves(-1);
    open();
    checkFile();
}

QString IniSettingsStore::read(const QString& key, const QString& fallback) {
    readAfresh();
    if (!damage_.isEmpty()) {
        if (!damageReported_) {
            damageReported_ = true;
            throw Failure(damage_);
        }
        return fallback;
    }
    if (!present_) // something other than a file took the file's place since start-up
        return fallback;
    if (atStart_)
        return atStart_->value(key, fallback);
    const QVariant value = qsettings()->value(key);
    return value.isValid() ? value.toString() : fallback;
}

void IniSettingsStore::write(const QString& key, const QString& value) {
    pending_.append({key, value});
}

void IniSettingsStore::writeNumbered(const QString& prefix, const QStringList& values) {
    pendingNumbered_.emplace_back(prefix, values);
}

void IniSettingsStore::commit(FailureHandler onFailure) {
    // Start-up has reported the damage; the save puts the damaged file aside.
    const bool damaged = !std::exchange(damage_, QString()).isEmpty();
    writer_.save({path_, std::exchange(pending_, {}), std::exchange(pendingNumbered_, {}),
                  std::exchange(pendingOptions_, {}), damaged, std::move(onFailure)});
    committed_ = true;
}

bool IniSettingsStore::waitForSaves(int ms) {
    return writer_.waitForSaves(ms);
}

int IniSettingsStore::songKeyLimit(int atMost) {
    readAfresh();
    if (!damage_.isEmpty() || !present_ || atMost <= 0)
        return 0;
    QString last;
    settings_keys::songKey(last, atMost - 1);
    const qsizetype keys = atStart_ ? atStart_->size() : qsettings()->childKeys().size();
    if (atMost <= keys && (atStart_ ? atStart_->contains(last) : qsettings()->contains(last)))
        return atMost; // the whole list is there, as the program saves it
    return atStart_ ? songLimitAmong(atStart_->keys(), atMost)
                    : songLimitAmong(qsettings()->childKeys(), atMost);
}

std::optional<QStringList> IniSettingsStore::songsAtHand(int count) {
    readAfresh();
    // A damaged file has its failure told by the first read.
    if (!damage_.isEmpty() || !present_ || !atStart_)
        return std::nullopt;
    return atStart_->numberedValues(count);
}

void MemorySettingsStore::commit(FailureHandler) {
    values.insert(pending);
    pending.clear();
}

int MemorySettingsStore::songKeyLimit(int atMost) {
    if (atMost <= 0)
        return 0;
    QString last;
    if (atMost <= values.size() && values.contains(settings_keys::songKey(last, atMost - 1)))
        return atMost;
    return songLimitAmong(values.keys(), atMost);
}
