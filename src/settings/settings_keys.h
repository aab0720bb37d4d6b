#pragma once

#include <QString>
#include <charconv>

// Every name and default of the settings store, in one place.
namespace settings_keys {
inline constexpr char kApplication[] = "Kestrelin";
inline constexpr char kSection[] = "Thrennic";
inline constexpr char kListCount[] = "ListCount";
inline constexpr char kListCountDefault[] = "0";
inline constexpr char kSongPrefix[] = "Song"; // Song0, Song1, ... (no leading zeros)
// The key of entry i, written into a key kept for the next read: building ten
// thousand keys afresh was a good part of restoring as many entries. (A key
// kept by a write would only be copied on the next use; writes build their own.)
inline const QString& songKey(QString& reused, int i) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, i).ptr;
    reused.truncate(0);
    reused += QLatin1String(kSongPrefix);
    reused += QLatin1String(digits, end);
    return reused;
}
// The key of value i of a numbered block: prefix0, prefix1, … (no leading zeros).
inline QString numberedKey(const QString& prefix, qsizetype i) {
    return prefix + QString::number(i);
}
// The folders bound to Ctrl+1 … Ctrl+9, in a group of their own: keys "1" to "9".
inline constexpr char kFoldersSection[] = "Folders";
// The options of the player itself, in a group of their own.
inline constexpr char kOptionsSection[] = "Options";
inline constexpr char kVolume[] = "Volume";         // 0 to 100
inline constexpr char kMute[] = "Mute";             // 0 or 1
inline constexpr char kLevelMatch[] = "LevelMatch"; // 0 or 1
inline constexpr char kShuffle[] = "Shuffle";
inline constexpr char kRepeat[] = "Repeat";
} // namespace settings_keys
