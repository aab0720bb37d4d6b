#include "settings/ini_writer.h"

#include "settings/ini_reader.h"
#include "settings/settings_keys.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

void appendHex(QByteArray& out, char16_t c) {
    out += "\\x";
    out += QByteArray::number(uint(c), 16);
}

QByteArrayView trimmed(QByteArrayView line) {
    while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.chop(1);
    return line;
}

struct Line {
    QByteArrayView text; // without its line end
};

std::vector<Line> linesOf(QByteArrayView file) {
    std::vector<Line> lines;
    for (qsizetype at = 0; at < file.size();) {
        const void* end = std::memchr(file.data() + at, '\n', size_t(file.size() - at));
        const qsizetype stop = end ? static_cast<const char*>(end) - file.data() : file.size();
        lines.push_back({file.sliced(at, stop - at)});
        at = end ? stop + 1 : stop;
    }
    return lines;
}

bool isHeading(QByteArrayView line) {
    const QByteArrayView text = trimmed(line);
    return !text.isEmpty() && text.front() == '[';
}

} // namespace

SettingsWrites withNumbered(SettingsWrites writes, const NumberedWrites& numbered) {
    qsizetype total = writes.size();
    for (const auto& block : numbered)
        total += block.second.size();
    writes.reserve(total);
    for (const auto& [prefix, values] : numbered)
        for (qsizetype i = 0; i < values.size(); ++i)
            writes.append({settings_keys::numberedKey(prefix, i), values[i]});
    return writes;
}

QByteArray iniValueText(const QString& value) {
    // QSettings marks its own types with a leading '@', and a plain '@' as "@@".
    const QString text = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray out;
    out.reserve(text.size() + 8);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    qsizetype plainFrom = -1; // a run of characters written as UTF-8 as they are
    const auto flushPlain = [&](qsizetype to) {
        if (plainFrom >= 0)
            out += QStringView(text).sliced(plainFrom, to - plainFrom).toUtf8();
        plainFrom = -1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u';' || c == u',' || c == u'=')
            needsQuotes = true;
        if (escapeNextIfDigit && isHexDigit(c)) {
            flushPlain(i);
            appendHex(out, c);
            continue;
        }
        escapeNextIfDigit = false;
        const char* named = nullptr;
        switch (c) {
        case u'\0':
            named = "\\0";
            escapeNextIfDigit = true;
            break;
        case u'\a':
            named = "\\a";
            break;
        case u'\b':
            named = "\\b";
            break;
        case u'\f':
            named = "\\f";
            break;
        case u'\n':
            named = "\\n";
            break;
        case u'\r':
            named = "\\r";
            break;
        case u'\t':
            named = "\\t";
            break;
        case u'\v':
            named = "\\v";
            break;
        case u'"':
            named = "\\\"";
            break;
        case u'\\':
            named = "\\\\";
            break;
        default:
            break;
        }
        if (named) {
            flushPlain(i);
            out += named;
        } else if (c <= 0x1F) {
            flushPlain(i);
            appendHex(out, c);
            escapeNextIfDigit = true;
        } else if (plainFrom < 0) {
            plainFrom = i;
        }
    }
    flushPlain(text.size());
    if (needsQuotes || (!out.isEmpty() && (out.front() == ' ' || out.back() == ' ')))
        out = '"' + out + '"';
    return out;
}

std::optional<QByteArray> mergedIniFile(QByteArrayView file, QLatin1String section,
                                        QLatin1String numbered, const SettingsWrites& writes) {
    // The quick reader takes exactly the files whose section QSettings would
    // read as plain strings; everything else is QSettings' to rewrite.
    const std::optional<IniStrings> values = readIniStrings(file, section, numbered);
    if (!values)
        return std::nullopt;
    const QByteArray heading = '[' + QByteArray(section.data(), section.size()) + ']';

    // The file in parts: what comes before the first heading, then each
    // section with its lines, blank lines at its end left out.
    struct Part {
        QString name;
        QByteArray lines;
    };
    QByteArray before;
    std::vector<Part> parts;
    bool ours = false, seen = false;
    for (const Line& line : linesOf(file)) {
        const QByteArrayView text = trimmed(line.text);
        if (isHeading(line.text)) {
            ours = text == heading;
            if (ours && seen)
                return std::nullopt; // given twice: QSettings joins them
            seen = seen || ours;
            parts.push_back({QString::fromUtf8(text.sliced(1, text.size() - 2)), {}});
            if (!ours)
                parts.back().lines = text.toByteArray() + '\n';
            continue;
        }
        if (ours || text.isEmpty())
            continue; // the section is written anew; empty lines part sections
        QByteArray& into = parts.empty() ? before : parts.back().lines;
        into += line.text;
        into += '\n';
    }

    // The section's keys: what the file holds, with the writes over it.
    QHash<QString, QString> latest;
    latest.reserve(values->size() + writes.size());
    for (const QString& key : values->keys())
        latest.insert(key, values->value(key));
    for (const auto& [key, value] : writes)
        latest.insert(key, value);
    QStringList keys = latest.keys();
    // QSettings writes sections, and keys within them, in the order of their names.
    std::sort(keys.begin(), keys.end());
    QByteArray body = heading + '\n';
    for (const QString& key : keys)
        body += key.toUtf8() + '=' + iniValueText(latest.value(key)) + '\n';
    if (!seen)
        parts.push_back({QString(section), {}});
    for (Part& part : parts)
        if (part.name == section)
            part.lines = std::move(body);
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part& a, const Part& b) { return a.name < b.name; });

    QByteArray merged = before;
    for (const Part& part : parts) {
        if (!merged.isEmpty())
            merged += '\n';
        merged += part.lines;
    }
    return merged;
}
