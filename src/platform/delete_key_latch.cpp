#include "platform/delete_key_latch.h"

#include "platform/key_target.h"

#include <QCoreApplication>
#include <QKeyEvent>

DeleteKeyLatch::DeleteKeyLatch(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

DeleteKeyLatch::~DeleteKeyLatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DeleteKeyLatch::takePress() {
    return std::exchange(pressed_, false);
}

bool DeleteKeyLatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && isKeyTarget(watched)) {
        pressed_ = true;
        if (onPress)
            onPress(watched);
    }
    return QObject::eventFilter(watched, event);
}
