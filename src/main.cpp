#include "app/form1.h"
#include "platform/dialogs.h"
#include "playback/mpv_engine.h"

#include <QApplication>
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
                            QStringLiteral("Thrennic"), MessageIcon::Warning);
        return 1;
    }
    Form1 window(Platform{std::move(engine), dialogs, QCoreApplication::applicationDirPath()});
    dialogs.setParent(&window);
    window.Form_Load();
    window.show();
    return app.exec();
}
