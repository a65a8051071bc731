#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Snaprill v0.21 by Brenwick"));
    window.resize(469, 370);
    window.show();
    return app.exec();
}
