#include "waveform/av_library.h"

#include "platform/runtime_library.h"

#include <string>

namespace {

std::string soName(const char* library, int major) {
    return std::string(library) + ".so." + std::to_string(major);
}

Av loadAv() {
    // Once opened a library stays: another file's reading may be using it.
    RuntimeLibrary format(soName("libavformat", LIBAVFORMAT_VERSION_MAJOR).c_str());
    RuntimeLibrary codec(soName("libavcodec", LIBAVCODEC_VERSION_MAJOR).c_str());
    RuntimeLibrary util(soName("libavutil", LIBAVUTIL_VERSION_MAJOR).c_str());
    RuntimeLibrary swr(soName("libswresample", LIBSWRESAMPLE_VERSION_MAJOR).c_str());
    Av av;
#define THRENNIC_RESOLVE(lib, name) lib.need(#name, av.name);
    THRENNIC_AV_FUNCTIONS(THRENNIC_RESOLVE)
#undef THRENNIC_RESOLVE
    for (const RuntimeLibrary* library : {&format, &codec, &util, &swr})
        if (av.error.isEmpty())
            av.error = library->error();
    return av;
}

} // namespace

const Av& av() {
    static const Av loaded = loadAv();
    return loaded;
}
