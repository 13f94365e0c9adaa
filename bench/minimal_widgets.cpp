// Baseline for the start-up benchmark: the smallest Qt Widgets program that
// shows a window and ends as soon as it is shown.
#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("baseline"));
    window.show();
    QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
