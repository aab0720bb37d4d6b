#include "settings/settings_store.h"

#include "platform/failure.h"
#include "settings/settings_keys.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <limits>

namespace {

// "Song12" gives 13; any other key gives 0.
int songLimitOf(const QString& key) {
    const QLatin1String prefix(settings_keys::kSongPrefix);
    if (!key.startsWith(prefix))
        return 0;
    bool ok = false;
    const int n = key.mid(prefix.size()).toInt(&ok);
    return ok && n >= 0 && n < std::numeric_limits<int>::max() ? n + 1 : 0;
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

IniSettingsStore::IniSettingsStore() {
    open();
    checkFile();
}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::open() {
    settings_ = std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat);
    settings_->beginGroup(QLatin1String(settings_keys::kSection));
}

QString IniSettingsStore::fileName() const {
    return settings_->fileName();
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
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    Q_UNUSED(text)
    if (bytes.contains('\0') || utf8.hasError() || settings_->status() != QSettings::NoError)
        damage_ = QStringLiteral("The settings file %1 is damaged").arg(fileName());
}

QString IniSettingsStore::read(const QString& key, const QString& fallback) {
    if (!damage_.isEmpty()) {
        if (!damageReported_) {
            damageReported_ = true;
            throw Failure(damage_);
        }
        return fallback;
    }
    const QVariant value = settings_->value(key);
    return value.isValid() ? value.toString() : fallback;
}

void IniSettingsStore::write(const QString& key, const QString& value) {
    pending_.insert(key, value);
}

void IniSettingsStore::commit() {
    const QHash<QString, QString> writes = std::exchange(pending_, {});
    if (!damage_.isEmpty() && QFileInfo(fileName()).isFile()) {
        const QString aside = fileName() + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (QFile::rename(fileName(), aside)) {
            damage_.clear();
            open();
        }
    }
    for (auto it = writes.cbegin(); it != writes.cend(); ++it)
        settings_->setValue(it.key(), it.value());
    settings_->sync();
    // QSettings can report success without having written anything (a folder
    // where the file belongs), so the file itself is checked too.
    if (settings_->status() != QSettings::NoError || !QFileInfo(fileName()).isFile()) {
        open(); // a fresh start for the next save, which writes every key again
        throw Failure(QStringLiteral("The settings could not be saved to %1").arg(fileName()));
    }
}

int IniSettingsStore::songKeyLimit() {
    if (!damage_.isEmpty())
        return 0;
    int limit = 0;
    for (const QString& key : settings_->childKeys())
        limit = std::max(limit, songLimitOf(key));
    return limit;
}

void MemorySettingsStore::commit() {
    values.insert(pending);
    pending.clear();
}

int MemorySettingsStore::songKeyLimit() {
    int limit = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        limit = std::max(limit, songLimitOf(it.key()));
    return limit;
}
