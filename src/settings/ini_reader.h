#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The string values of one section. The keys of one numbered family (Song0,
// Song1, ...), which make up nearly all of a saved list, are kept by number
// in an array; every other key by name. Ten thousand names and hash entries
// cost start-up more than the values themselves.
class IniStrings {
  public:
    // Numbers at or above numbersBelow are kept by name, so that no key can
    // make the array larger than the file has lines.
    IniStrings(QLatin1String numbered, qsizetype numbersBelow);
    // False when the key is there already.
    bool insert(QLatin1String key, QString value);
    // The key's value, or nullptr when the key is not there.
    const QString* find(QStringView key) const;
    QString value(QStringView key, const QString& fallback = {}) const;
    bool contains(QStringView key) const { return find(key) != nullptr; }
    qsizetype size() const { return numberedCount_ + byName_.size(); }
    QStringList keys() const;
    // The values of the family's keys numbered 0 to count - 1, empty for a
    // key that is not there.
    QStringList numberedValues(qsizetype count) const;

  private:
    // The number of a key of the family written plainly (digits only, no
    // leading zero) and kept by number; -1 for any other key.
    qsizetype numberOf(QStringView key) const;
    qsizetype numberOf(QLatin1String key) const;

    QLatin1String numbered_;
    qsizetype numbersBelow_;
    QList<QString> byNumber_;
    std::vector<bool> present_; // by number: whether the key is there
    qsizetype numberedCount_ = 0;
    QHash<QString, QString> byName_;
};

// The string values of one section of an INI file as QSettings wrote it, read
// in one pass instead of through QSettings, whose parse and per-key look-ups
// take milliseconds for a list of ten thousand. Only what QSettings writes for
// plain strings is read: anything else (a list, a byte array or variant, a
// continued line, a key given twice, escaped key names, a byte-order mark)
// gives nothing, and the caller reads through QSettings as before. A file it
// reads is one QSettings opens without a format error: every section heading
// it accepts ends in ']' on its own line.
// The keys numbered is the family kept by number.
std::optional<IniStrings> readIniStrings(QByteArrayView file, QLatin1String section,
                                         QLatin1String numbered);
