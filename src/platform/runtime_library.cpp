#include "platform/runtime_library.h"

#include <dlfcn.h>

RuntimeLibrary::RuntimeLibrary(const char* fileName) : fileName_(QString::fromUtf8(fileName)) {
    handle_ = ::dlopen(fileName, RTLD_LAZY | RTLD_LOCAL);
    if (!handle_)
        fail(QStringLiteral("%1 could not be loaded: %2")
                 .arg(fileName_, QString::fromLocal8Bit(::dlerror())));
}

void* RuntimeLibrary::lookUp(const char* name) {
    if (!error_.isEmpty())
        return nullptr;
    void* function = ::dlsym(handle_, name);
    if (!function)
        fail(QStringLiteral("%1 has no function %2").arg(fileName_, QString::fromLatin1(name)));
    return function;
}
