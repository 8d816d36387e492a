// The start-up baselines: the least a Qt Widgets program does to paint a 1000x760 window, and
// (built with HALVARK_TEXT_FIELD) the same window holding one empty line edit, the least any
// page with text costs: its first text loads the platform's font configuration.
#include <unistd.h>
#include <QApplication>
#include <QWidget>
#ifdef HALVARK_TEXT_FIELD
#include <QLineEdit>
#include <QVBoxLayout>
#endif

class Window : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override { _exit(0); }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Window window;
#ifdef HALVARK_TEXT_FIELD
    (new QVBoxLayout(&window))->addWidget(new QLineEdit(&window));
#endif
    window.resize(1000, 760);
    window.show();
    return QApplication::exec();
}
