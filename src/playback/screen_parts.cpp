#include "playback/screen_parts.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setAlignment(Qt::AlignCenter);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, width()));
}

QLabel* screenLabel(QWidget* screen, QPalette::ColorRole role, double scale) {
    auto* label = new QLabel(screen);
    // File names, folders and messages are shown as written, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setForegroundRole(role);
    if (scale != 1.0) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        label->setFont(font);
    }
    return label;
}

void showLine(QLabel& label, const QString& text) {
    label.setText(text);
    label.setVisible(!text.isEmpty());
}

QString listPlace(int number, int count) {
    // Without a language set, numbers are still grouped as in "1,204".
    QLocale here;
    if (here.language() == QLocale::C)
        here = QLocale(QLocale::English);
    return QCoreApplication::translate("PlayerWidget", "%1 of %2")
        .arg(here.toString(number), here.toString(count));
}

QString plainPlaybackError(const QString& engineError) {
    static const QHash<QString, QString> plain = {
        {QStringLiteral("unrecognized file format"),
         QStringLiteral("it is not in an audio format that can be read, or it is damaged")},
        {QStringLiteral("loading failed"), QStringLiteral("it could not be opened")},
        {QStringLiteral("nothing to play"), QStringLiteral("it holds no audio")},
        {QStringLiteral("no audio or video data played"), QStringLiteral("it holds no audio")},
        {QStringLiteral("audio output initialization failed"),
         QStringLiteral("the sound output could not be started")},
    };
    return plain.value(engineError, engineError.isEmpty() ? QStringLiteral("it could not be played")
                                                          : engineError);
}
