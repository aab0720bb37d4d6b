#include "platform/key_target.h"

#include <QApplication>
#include <QWidget>

bool isKeyTarget(const QObject* receiver) {
    if (!receiver->isWidgetType())
        return false;
    const QWidget* focus = QApplication::focusWidget();
    if (focus)
        return receiver == focus;
    return static_cast<const QWidget*>(receiver)->isWindow();
}
