#pragma once

#include <QString>

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

  private:
    void* lookUp(const char* name);
    QString fileName_;
    void* handle_ = nullptr;
    QString error_;
};
