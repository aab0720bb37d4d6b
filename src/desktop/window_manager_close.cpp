#include "desktop/window_manager_close.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// A child of the window: it stops watching when the window goes.
class BlockedCloseFilter : public QObject, public QAbstractNativeEventFilter {
  public:
    BlockedCloseFilter(QWidget& window, xcb_atom_t protocols, xcb_atom_t deleteWindow)
        : QObject(&window), window_(&window), protocols_(protocols), deleteWindow_(deleteWindow) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t" || !window_)
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* client = static_cast<const xcb_client_message_event_t*>(message);
        if (client->format != 32 || client->type != protocols_ ||
            client->data.data32[0] != deleteWindow_ || !isMainWindow(client->window))
            return false;
        // Unblocked, Qt delivers the close itself; blocked, it would drop it.
        if (QApplication::activeModalWidget() && QApplication::activeModalWidget() != window_)
            QMetaObject::invokeMethod(
                window_,
                [window = window_] {
                    if (window)
                        window->close();
                },
                Qt::QueuedConnection);
        return false;
    }

  private:
    bool isMainWindow(xcb_window_t id) const {
        return window_->internalWinId() &&
               static_cast<xcb_window_t>(window_->internalWinId()) == id;
    }

    QPointer<QWidget> window_;
    xcb_atom_t protocols_;
    xcb_atom_t deleteWindow_;
};
} // namespace

void closeEvenWhenBlocked(QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t protocols = internAtom(connection, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = internAtom(connection, "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE)
        return;
    qApp->installNativeEventFilter(new BlockedCloseFilter(window, protocols, deleteWindow));
}
