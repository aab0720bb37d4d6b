#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <mutex>

// A library opened at run time, once and for the program's life (a handle made
// from it may outlive any caller), and the functions looked up in it. The
// first failure is kept, in words fit for a message.
class RuntimeLibrary {
  public:
    explicit RuntimeLibrary(const char* fileName);

    // Looks the function up unless something failed already; a missing one is the failure.
    template <class Function> void need(const char* name, Function& into) {
        into = reinterpret_cast<Function>(lookUp(name));
    }
    void fail(const QString& why) {
        if (error_.isEmpty())
            error_ = why;
    }
    const QString& error() const { return error_; } // empty while all went well
    const QString& fileName() const { return fileName_; }

  private:
    void* lookUp(const char* name);
    QString fileName_;
    void* handle_ = nullptr;
    QString error_;
};

// The functions lookUp finds in the library named fileName, looked up once per
// name for the program's life; safe from any thread. nullptr, and the reason
// in *error, when the library or one of its functions is missing.
template <class Functions>
const Functions* loadOnce(const char* fileName, QString* error,
                          void (*lookUp)(RuntimeLibrary&, Functions&)) {
    struct Loaded {
        Functions functions{};
        QString error; // empty once loaded
    };
    static std::mutex guard;
    static QHash<QByteArray, Loaded*> byName; // never freed: what was made from them may live on
    const std::lock_guard<std::mutex> lock(guard);
    Loaded*& loaded = byName[QByteArray(fileName)];
    if (!loaded) {
        loaded = new Loaded;
        RuntimeLibrary library(fileName);
        lookUp(library, loaded->functions);
        loaded->error = library.error();
    }
    if (!loaded->error.isEmpty()) {
        if (error)
            *error = loaded->error;
        return nullptr;
    }
    return &loaded->functions;
}
