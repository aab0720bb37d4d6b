#include "platform/dialogs.h"

#include <QMessageBox>
#include <QPushButton>

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

int QtDialogs::askChoice(const QString& text, const QString& title, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Question, title, displayedLines(text), QMessageBox::NoButton,
                    parent_);
    showAsWritten(box);
    QList<QAbstractButton*> made;
    for (const QString& caption : buttons)
        made << box.addButton(caption, QMessageBox::AcceptRole);
    if (!made.isEmpty())
        box.setDefaultButton(static_cast<QPushButton*>(made.front()));
    box.exec();
    return int(made.indexOf(box.clickedButton()));
}
