// The floor our footprint is judged against: a bare Qt 6 window of the main window's size whose 1 s timer
// does a trivial piece of work, the way the program's main timer wakes it once a second. With --hidden the
// window is never shown, as the program's own is while it sits in the tray: the timer still runs and still
// sets the label, which then has nothing to repaint.
#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const bool hidden = QApplication::arguments().contains(QStringLiteral("--hidden"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Hourlink bare window"));
    window.resize(660, 332);
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("0"), &window);
    layout->addWidget(label);

    int ticks = 0;
    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, label, [&ticks, label] { label->setNum(++ticks); });
    timer.start();

    if (!hidden) {
        window.show();
    }
    return QApplication::exec();
}
