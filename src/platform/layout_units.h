#pragma once

// The window's layout is given in twentieths of a point (1,440 to the inch),
// as its first design was; at 96 dots per inch 15 of them make a pixel.
// Rounded to the nearest pixel.
constexpr int pixelsFromTwips(int twips) {
    return (twips + 7) / 15;
}
