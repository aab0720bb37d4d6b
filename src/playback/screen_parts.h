#pragma once

#include <QLabel>
#include <QPalette>
#include <QString>

// The pieces of the player's screen.

// A one-line label that shortens its text in the middle to the room it has.
class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(QWidget* parent);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();
    QString full_;
};

// A label of the screen in the palette's colour role, its font scaled.
QLabel* screenLabel(QWidget* screen, QPalette::ColorRole role, double scale = 1.0);
// The label says text, or is hidden while there is nothing to say.
void showLine(QLabel& label, const QString& text);
// "37 of 1,204".
QString listPlace(int number, int count);
// The engine's reason a file failed, in the words the screen uses.
QString plainPlaybackError(const QString& engineError);
