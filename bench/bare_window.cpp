// The yardstick of the start-up benchmark: a bare Qt 6 window with a label,
// nothing else.

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tenmari"));
    label.setWindowTitle(QStringLiteral("bare"));
    label.resize(450, 413);
    label.show();
    return QApplication::exec();
}
