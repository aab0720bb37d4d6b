#include "platform/delete_key_latch.h"

#include "platform/key_target.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

bool inPlayingView(const QWidget& receiver, const QWidget& mainWindow, const QWidget& player) {
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    const QWidget* window = receiver.window();
    return window == &mainWindow || window == &player;
}

DeleteKeyLatch::DeleteKeyLatch(QWidget* mainWindow, QWidget* player)
    : QObject(mainWindow), mainWindow_(mainWindow), player_(player) {
    QCoreApplication::instance()->installEventFilter(this);
}

DeleteKeyLatch::~DeleteKeyLatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DeleteKeyLatch::takePress() {
    return std::exchange(pressed_, false);
}

bool DeleteKeyLatch::isRepeat(const QKeyEvent& press) const {
    return press.isAutoRepeat() || (lastRelease_ != 0 && press.timestamp() == lastRelease_);
}

bool DeleteKeyLatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Delete)
        lastRelease_ = static_cast<const QKeyEvent*>(event)->timestamp();
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() != Qt::Key_Delete || isRepeat(key) || !isKeyTarget(watched) ||
        !inPlayingView(static_cast<const QWidget&>(*watched), *mainWindow_, *player_))
        return false;
    pressed_ = true;
    if (onPress)
        onPress(watched);
    return false;
}
