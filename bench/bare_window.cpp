// The baseline of bench/startup_vs_bare.sh: a bare Qt window of the main
// window's size, shown the same way, with nothing else in it.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.setFixedSize(800, 501); // the main window's 12000 x 7515 twips
    window.show();
    return app.exec();
}
