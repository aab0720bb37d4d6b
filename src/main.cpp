#include "app/form1.h"
#include "app/product.h"
#include "app/termination.h"
#include "platform/dialogs.h"
#include "platform/open_dialog.h"
#include "platform/window_manager_close.h"
#include "playback/mpv_engine.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>
#include <clocale>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // libmpv needs the C numeric locale; Qt set the user's locale above.
    std::setlocale(LC_NUMERIC, "C");
    QtDialogs dialogs;
    QString error;
    std::unique_ptr<MpvEngine> engine = MpvEngine::create({}, &error);
    if (!engine) {
        dialogs.showMessage(QStringLiteral("The audio engine could not be started:\r\n") + error,
                            kProductName, MessageIcon::Warning);
        return 1;
    }
    IniSettingsStore settings;
    QtFilePicker picker;
    bool mainLoopRunning = false;
    Form1 window(Platform{
        std::move(engine), dialogs, settings, picker, QCoreApplication::applicationDirPath(),
        [&mainLoopRunning] { endProgramAfterUnload(mainLoopRunning); },
        [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }});
    dialogs.setParent(&window);
    picker.setParent(&window);
    closeOnTerminationSignals(window);
    closeEvenWhenBlocked(window);
    // The session ending closes the window, which saves.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.close(); });
    window.Form_Load();
    window.show();
    QTimer::singleShot(0, &app, [&mainLoopRunning] { mainLoopRunning = true; });
    return app.exec();
}
