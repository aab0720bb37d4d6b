#pragma once

#include <QString>
#include <stdexcept>

// What the stand-ins raise when an operation fails. The description is the
// failing operation's own text; the error trap shows it unchanged.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const QString& description) : std::runtime_error(description.toStdString()) {}
};

// The description of any exception, as the error trap shows it.
inline QString describe(const std::exception& e) { return QString::fromStdString(e.what()); }
