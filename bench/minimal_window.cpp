// The start-up baselines: the least a Qt Widgets program does to paint a 1000x760 window, and
// (built with HALVARK_TEXT_FIELD) the same window holding one empty line edit, the least any
// page with text costs: its first text loads the platform's font configuration.
#include <link.h>
#include <unistd.h>
#include <QApplication>
#include <QWidget>
#include <cstdio>
#ifdef HALVARK_TEXT_FIELD
#include <QLineEdit>
#include <QVBoxLayout>
#endif

class Window : public QWidget {
  protected:
    // Ends at the first paint, saying how many shared objects it needed for it.
    void paintEvent(QPaintEvent*) override {
        int count = 0;
        dl_iterate_phdr(
            [](dl_phdr_info*, size_t, void* counted) { return ++*static_cast<int*>(counted), 0; },
            &count);
        std::fprintf(stderr, "PROBE objects=%d\n", count);
        _exit(0);
    }
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
