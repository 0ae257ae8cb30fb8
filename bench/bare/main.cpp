// The floor start-up is compared against: Qt's own cost of showing a window of text. One main
// window of the main window's size with 80 table lines and a few labels, shown as the
// program shows its own, its first paint reported the same way.
#include "firstpaint.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    auto *central = new QWidget(&window);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(new QLabel(QStringLiteral("Masalar"), central));
    auto *list = new QListWidget(central);
    for (int k = 1; k <= 80; ++k)
        list->addItem(QStringLiteral("Masa ") + QString::number(k));
    layout->addWidget(list);
    layout->addWidget(new QLabel(QStringLiteral("Masa Bilgileri"), central));
    layout->addWidget(new QLabel(QStringLiteral("Toplam: 0 TL"), central));
    window.setCentralWidget(central);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("00:00:00"), &window));
    // The main window's size.
    window.setFixedSize(1010, 540);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    kv::reportFirstPaint(&window);
    window.show();
    return app.exec();
}
