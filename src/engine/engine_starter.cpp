#include "engine/engine_starter.h"

#include "platform/dialogs.h"
#include "platform/product.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

EngineStarter::EngineStarter(EngineUser& user, Dialogs& dialogs, MpvEngine::Options options)
    : user_(user), dialogs_(dialogs), options_(std::move(options)) {}

EngineStarter::~EngineStarter() {
    if (worker_.joinable())
        worker_.join();
}

void EngineStarter::start() {
    if (worker_.joinable() || started_ || delivered_)
        return;
    worker_ = std::thread([this] {
        started_.emplace(MpvEngine::start(options_));
        QMetaObject::invokeMethod(this, &EngineStarter::deliver, Qt::QueuedConnection);
    });
}

void EngineStarter::startOnceShown(QWidget& window) {
    QWindow* handle = window.windowHandle();
    if (!handle || handle->isExposed()) {
        start();
        return;
    }
    handle->installEventFilter(this);
    QTimer::singleShot(kLatestStartMs, this, &EngineStarter::start);
}

bool EngineStarter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose) {
        auto* handle = static_cast<QWindow*>(watched);
        if (handle->isExposed()) {
            handle->removeEventFilter(this);
            // After this expose has been painted.
            QTimer::singleShot(0, this, &EngineStarter::start);
        }
    }
    return QObject::eventFilter(watched, event);
}

void EngineStarter::deliver() {
    worker_.join();
    delivered_ = true;
    const QString error = started_->error;
    std::unique_ptr<MpvEngine> engine = MpvEngine::adopt(std::move(*started_));
    started_.reset();
    if (!engine) {
        dialogs_.showMessage(QStringLiteral("The audio engine could not be started:\r\n") + error +
                                 QStringLiteral("\r\n\r\nFiles can still be listed and deleted, "
                                                "but nothing will play."),
                             kProductName, MessageIcon::Warning);
        Q_EMIT finished(false);
        return;
    }
    user_.attachEngine(std::move(engine));
    Q_EMIT finished(true);
}
