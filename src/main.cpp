#include "app/form1.h"
#include "desktop/command_line.h"
#include "desktop/font_preload.h"
#include "desktop/history_command.h"
#include "desktop/mpris.h"
#include "desktop/single_instance.h"
#include "desktop/termination.h"
#include "desktop/window_manager_close.h"
#include "engine/engine_starter.h"
#include "history/history_db.h"
#include "platform/dialogs.h"
#include "platform/open_dialog.h"
#include "platform/product.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // The names as the system gave them: Qt's own text of them may be lossy.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    // The history is read or removed without a window (nor a display).
    if (const std::optional<int> status = runHistoryCommand(arguments, history::defaultFile()))
        return *status;
    // The font configuration is read on a worker while Qt connects to the display.
    const FontConfigPreload fonts;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(kDesktopId);
    const std::unique_ptr<char, decltype(&std::free)> here(::get_current_dir_name(), &std::free);
    const NamedFiles files = commandLineFiles(arguments, here ? QByteArray(here.get()) : "/");
    // A copy already running takes the files and comes to the front; this one is not needed.
    if (!files.isEmpty() && single_instance::handToRunningCopy(files))
        return 0;
    // libmpv needs the C numeric locale; Qt set the user's locale above.
    std::setlocale(LC_NUMERIC, "C");
    QtDialogs dialogs;
    IniSettingsStore settings;
    QtFilePicker picker;
    bool mainLoopRunning = false;
    // The engine comes later (see below): the player keeps what it is asked meanwhile.
    Form1 window(Platform{nullptr, dialogs, settings, picker,
                          QCoreApplication::applicationDirPath(),
                          [&mainLoopRunning] { endProgramAfterUnload(mainLoopRunning); },
                          [](const QString& folder) {
                              return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
                          },
                          history::defaultFile()});
    dialogs.setParent(&window);
    picker.setParent(&window);
    closeOnTerminationSignals(window);
    closeEvenWhenBlocked(window);
    // The session ending closes the window, which saves.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.close(); });
    window.Form_Load();
    InstanceServer instances([&window](const NamedFiles& handed) {
        window.guarded("OpenFiles", [&] { window.OpenFiles(handed.files, handed.refused); });
        window.BringToFront();
    });
    window.show();
    // Media keys and the desktop's player controls, once the window is up; none without a bus.
    Mpris mpris(window);
    QTimer::singleShot(0, &mpris, [&mpris] { mpris.registerOnSessionBus(); });
    if (!files.isEmpty())
        window.guarded("OpenFiles", [&] { window.OpenFiles(files.files, files.refused); });
    // libmpv loads once the window is on the screen; the player holds what it is asked till then.
    EngineStarter engine(*window.WMP, dialogs);
    engine.startOnceShown(window);
    QTimer::singleShot(0, &app, [&mainLoopRunning] { mainLoopRunning = true; });
    return app.exec();
}
