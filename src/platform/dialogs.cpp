#include "platform/dialogs.h"

#include <QMessageBox>

QString displayedLines(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showAsWritten(QMessageBox& box) {
    // A file name or a settings value such as "<b>x</b>" is shown as it is, never as markup.
    box.setTextFormat(Qt::PlainText);
}

void QtDialogs::showMessage(const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title, displayedLines(text), QMessageBox::Ok, parent_);
    showAsWritten(box);
    box.exec();
}

bool QtDialogs::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, displayedLines(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    showAsWritten(box);
    return box.exec() == QMessageBox::Yes;
}
