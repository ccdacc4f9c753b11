// The yardstick for start-up figures: a Qt Widgets window with one label and nothing else.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Hello"));
    label.resize(320, 120);
    label.show();
    return QApplication::exec();
}
