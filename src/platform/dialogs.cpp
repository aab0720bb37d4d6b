#include "platform/dialogs.h"

#include <QMessageBox>

QString displayedLines(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtDialogs::showMessage(const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title, displayedLines(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtDialogs::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, displayedLines(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}
