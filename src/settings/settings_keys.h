#pragma once

// Every name and default of the settings store, in one place.
namespace settings_keys {
inline constexpr char kApplication[] = "Kestrelin";
inline constexpr char kSection[] = "Thrennic";
inline constexpr char kListCount[] = "ListCount";
inline constexpr char kListCountDefault[] = "0";
inline constexpr char kSongPrefix[] = "Song"; // Song0, Song1, ... (no leading zeros)
inline constexpr char kShuffle[] = "Shuffle";
inline constexpr char kRepeat[] = "Repeat";
} // namespace settings_keys
