#include "desktop/font_preload.h"

#include <fontconfig/fontconfig.h>
#include <locale.h>
#include <system_error>

namespace {

void readFontConfiguration() {
    // The configuration's numbers are read in a locale of this thread's own: Qt
    // sets the program's locale while this runs, and a decimal comma appearing
    // mid-read would change them. "C" is what the program's locale still is
    // now, and what Qt would read them in (main sets LC_NUMERIC back to "C").
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    const locale_t before = c ? uselocale(c) : locale_t{};
    FcInit();
    if (c) {
        uselocale(before);
        freelocale(c);
    }
}

} // namespace

FontConfigPreload::FontConfigPreload() {
    try {
        worker_ = std::jthread(readFontConfiguration);
    } catch (const std::system_error&) {
        // No thread to spare: Qt reads the configuration itself when it needs it.
    }
}
