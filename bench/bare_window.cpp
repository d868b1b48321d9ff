// The floor for start-up time and memory: an empty Qt Widgets window of the
// program's size, nothing else. With --label it also shows one line of text,
// which brings in the font machinery every window with text pays for.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(434, 136);
    if (argc > 1 && std::strcmp(argv[1], "--label") == 0)
        (new QLabel(QStringLiteral("USB pH Meter not connected"), &window))->move(4, 120);
    window.show();
    return app.exec();
}
