#pragma once

#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

enum class MessageIcon { None, Warning };

// Modal message boxes. Texts are kept exactly as given; CR and CR LF are shown
// as line breaks by the real boxes. Tests use a recording fake.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A box with an OK button only.
    virtual void showMessage(const QString& text, const QString& title, MessageIcon icon) = 0;
    // A box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
    // A question with buttons of these captions, the first the default: the
    // number of the one pressed, or -1 when the box was closed otherwise.
    virtual int askChoice(const QString& text, const QString& title,
                          const QStringList& buttons) = 0;
};

class QtDialogs : public Dialogs {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showMessage(const QString& text, const QString& title, MessageIcon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    int askChoice(const QString& text, const QString& title, const QStringList& buttons) override;

  private:
    QWidget* parent_ = nullptr;
};

// CR LF and lone CR become the line feeds that Qt's boxes break lines at.
QString displayedLines(const QString& text);
// The box's text is plain text: markup in a file name or a value is shown as written.
void showAsWritten(QMessageBox& box);
