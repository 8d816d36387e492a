// The start-up baseline: the least a Qt Widgets program does to paint a 1000x760 window.
#include <unistd.h>
#include <QApplication>
#include <QWidget>

class Window : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override { _exit(0); }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Window window;
    window.resize(1000, 760);
    window.show();
    return QApplication::exec();
}
