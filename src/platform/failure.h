#pragma once

#include <QString>
#include <stdexcept>

// What the stand-ins raise when an operation fails. The description is the
// failing operation's own text; the error trap shows it unchanged.
// Some carry an error number that a caller tells apart.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const QString& description, int number = 0)
        : std::runtime_error(description.toStdString()), number_(number) {}
    int number() const { return number_; }

  private:
    int number_;
};

// The description of any exception, as the error trap shows it.
inline QString describe(const std::exception& e) {
    return QString::fromStdString(e.what());
}
