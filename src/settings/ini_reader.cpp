#include "settings/ini_reader.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstring>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int octValue(char c) {
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

char simpleEscape(char c) {
    switch (c) {
    case 'a':
        return '\a';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'v':
        return '\v';
    case '"':
    case '?':
    case '\'':
    case '\\':
        return c;
    default:
        return 0;
    }
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// QSettings trims spaces and tabs only.
QByteArrayView trimBlanks(QByteArrayView text) {
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text;
}

// The text after "=", unescaped as QSettings does: quotes keep spaces and
// commas, backslash escapes (\n, \x41, \101, ...), blanks trimmed outside quotes.
// False for what QSettings reads as a list (an unquoted comma).
bool unescapeValue(QByteArrayView raw, QString& out) {
    // Most values (paths) have nothing to unescape. (memchr: a character at a
    // time was a good part of reading a long list.)
    const auto holds = [&raw](char c) {
        return !raw.isEmpty() && std::memchr(raw.data(), c, size_t(raw.size())) != nullptr;
    };
    if (!holds('\\') && !holds('"') && !holds(',')) {
        out = QString::fromUtf8(trimBlanks(raw));
        return true;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    qsizetype i = 0;
    const qsizetype n = raw.size();
    bool inQuotes = false, quoted = false;
    auto skipBlanks = [&] {
        while (i < n && blank(raw[i]))
            ++i;
    };
    skipBlanks();
    qsizetype keep = 0; // out's blanks before this are escaped or quoted: never trimmed
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = raw[i++];
            if (const char plain = simpleEscape(e)) {
                out += QLatin1Char(plain);
            } else if (e == 'x') {
                char16_t value = 0;
                bool any = false;
                for (int h; i < n && (h = hexValue(raw[i])) >= 0; ++i, any = true)
                    value = char16_t((value << 4) + h);
                if (any)
                    out += QChar(value);
            } else if (const int o = octValue(e); o >= 0) {
                char16_t value = char16_t(o);
                for (int d; i < n && (d = octValue(raw[i])) >= 0; ++i)
                    value = char16_t((value << 3) + d);
                out += QChar(value);
            }
            keep = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keep = out.size();
            }
        } else if (c == ',' && !inQuotes) {
            return false;
        } else {
            qsizetype j = i + 1;
            while (j < n && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',')
                ++j;
            out += utf8(raw.sliced(i, j - i));
            i = j;
        }
    }
    if (utf8.hasError())
        return false;
    if (!quoted)
        while (out.size() > keep && (out.back() == u' ' || out.back() == u'\t'))
            out.chop(1);
    return true;
}

// Where c first appears in text, or -1. memchr, not QByteArrayView::indexOf,
// which goes through a general search: per line of a long list, that told.
qsizetype find(QByteArrayView text, char c, qsizetype from = 0) {
    if (from >= text.size())
        return -1;
    const void* at = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return at ? static_cast<const char*>(at) - text.data() : -1;
}

qsizetype lineCount(QByteArrayView file) {
    qsizetype lines = 1;
    for (qsizetype at = find(file, '\n'); at >= 0; at = find(file, '\n', at + 1))
        ++lines;
    return lines;
}

// An odd number of backslashes at the end: the last one carries the value on
// to the next line (an even number are escaped backslashes).
bool continues(QByteArrayView line) {
    qsizetype backslashes = 0;
    while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\')
        ++backslashes;
    return backslashes % 2 == 1;
}

} // namespace

IniStrings::IniStrings(QLatin1String numbered, qsizetype numbersBelow)
    : numbered_(numbered), numbersBelow_(numbersBelow) {}

namespace {

// The number of a key made of prefix and digits only, without a leading zero,
// when it is below `below`; else -1.
template <class Text> qsizetype plainNumber(Text key, QLatin1String prefix, qsizetype below) {
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 9 ||
        key.first(prefix.size()) != prefix)
        return -1;
    const Text digits = key.sliced(prefix.size());
    if (digits.size() > 1 && QChar(digits.at(0)) == u'0')
        return -1;
    qsizetype number = 0;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const char16_t c = QChar(digits.at(i)).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c - u'0');
    }
    return number < below ? number : -1;
}

} // namespace

qsizetype IniStrings::numberOf(QStringView key) const {
    return plainNumber(key, numbered_, numbersBelow_);
}

qsizetype IniStrings::numberOf(QLatin1String key) const {
    return plainNumber(key, numbered_, numbersBelow_);
}

bool IniStrings::insert(QLatin1String key, QString value) {
    const qsizetype number = numberOf(key);
    if (number < 0) {
        const qsizetype before = byName_.size();
        QString& slot = byName_[QString(key)];
        if (byName_.size() == before)
            return false;
        slot = std::move(value);
        return true;
    }
    if (byNumber_.isEmpty()) { // a saved list: a slot for every number the file can hold
        byNumber_.resize(numbersBelow_);
        present_.resize(size_t(numbersBelow_));
    }
    if (present_[size_t(number)])
        return false;
    present_[size_t(number)] = true;
    byNumber_[number] = std::move(value);
    ++numberedCount_;
    return true;
}

const QString* IniStrings::find(QStringView key) const {
    const qsizetype number = numberOf(key);
    if (number < 0) {
        const auto found = byName_.constFind(key.toString());
        return found == byName_.cend() ? nullptr : &found.value();
    }
    return number < byNumber_.size() && present_[size_t(number)] ? &byNumber_[number] : nullptr;
}

QString IniStrings::value(QStringView key, const QString& fallback) const {
    const QString* found = find(key);
    return found ? *found : fallback;
}

QStringList IniStrings::keys() const {
    QStringList all = byName_.keys();
    for (qsizetype number = 0; number < byNumber_.size(); ++number)
        if (present_[size_t(number)])
            all << numbered_ + QString::number(number);
    return all;
}

QStringList IniStrings::numberedValues(qsizetype count) const {
    QStringList values(std::max<qsizetype>(count, 0));
    const qsizetype kept = std::min(values.size(), byNumber_.size());
    for (qsizetype number = 0; number < kept; ++number)
        if (present_[size_t(number)])
            values[number] = byNumber_[number];
    // Numbers too high for the array are kept by name.
    if (values.size() > numbersBelow_)
        for (auto it = byName_.cbegin(); it != byName_.cend(); ++it)
            if (const qsizetype number = plainNumber(QStringView(it.key()), numbered_, count);
                number >= 0)
                values[number] = it.value();
    return values;
}

std::optional<IniStrings> readIniStrings(QByteArrayView file, QLatin1String section,
                                         QLatin1String numbered) {
    if (file.startsWith("\xef\xbb\xbf"))
        return std::nullopt;
    IniStrings values(numbered, lineCount(file));
    bool inSection = false;
    qsizetype start = 0;
    while (start < file.size()) {
        qsizetype end = find(file, '\n', start);
        if (end < 0)
            end = file.size();
        QByteArrayView line = file.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        line = trimBlanks(line);
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue;
        if (continues(line) || find(line, '\r') >= 0)
            return std::nullopt; // a value continued on the next line
        if (line.front() == '[') {
            // QSettings ends a line at an unquoted ';' and carries quotes over
            // line ends; a heading with neither is one QSettings reads the same.
            if (!line.endsWith(']') || line.contains('%') || line.contains('\\') ||
                line.contains('"') || line.contains(';'))
                return std::nullopt;
            inSection =
                line.sliced(1, line.size() - 2) == QByteArrayView(section.data(), section.size());
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = find(line, '=');
        if (equals <= 0)
            return std::nullopt;
        const QByteArrayView key = trimBlanks(line.first(equals));
        for (const char c : key)
            if (c == '%' || c == '\\' || c == '"' || static_cast<unsigned char>(c) >= 0x80 ||
                blank(c))
                return std::nullopt; // an escaped key name
        QString value;
        if (!unescapeValue(line.sliced(equals + 1), value))
            return std::nullopt;
        // A value that begins with '@' is a type QSettings marks; "@@" is a plain '@'.
        if (value.startsWith(QLatin1Char('@'))) {
            if (!value.startsWith(QLatin1String("@@")))
                return std::nullopt;
            value.remove(0, 1);
        }
        if (!values.insert(QLatin1String(key.data(), key.size()), std::move(value)))
            return std::nullopt; // given twice
    }
    return values;
}
