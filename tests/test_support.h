#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace halvark::testing {

// A fresh APPDATA and none of the variables the launcher reads from its environment.
class ScopedEnvironment {
  public:
    ScopedEnvironment() {
        for (const char* name :
             {"USER", "USERNAME", "PROCESSOR_IDENTIFIER", "HALVARK_LAUNCHER_LOGIN_URL",
              "HALVARK_LAUNCHER_ME_URL", "HALVARK_LAUNCHER_REPORT_URL", "HALVARK_LAUNCHER_HWID_URL",
              "HALVARK_LAUNCHER_API_URL", "HALVARK_LAUNCHER_SITE_URL"}) {
            qunsetenv(name);
        }
        qputenv("APPDATA", directory.path().toUtf8());
    }
    QString path() const { return directory.path(); }
    QString data_path() const { return directory.path() + "/.halvark_launcher"; }

  private:
    QTemporaryDir directory;
};

// Answers the next modal dialog (message box, input dialog) once it shows up: `act` gets
// it and closes it. Polls, since the dialog's own event loop is the one running.
inline void handle_next_modal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

}  // namespace halvark::testing
