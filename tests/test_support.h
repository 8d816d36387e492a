#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace halvark::testing {

// How long a QTRY_ waits for what the loopback peers do: long enough for a machine whose cores
// are busy with other work, and never reached by a passing row.
constexpr int kPatienceMs = 120000;

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

// Sets an environment variable to any text: Windows keeps its environment in UTF-16, and a
// byte string there would pass through the ANSI code page.
inline void set_environment(const char* name, const QString& value) {
#ifdef Q_OS_WIN
    _wputenv_s(reinterpret_cast<const wchar_t*>(QString::fromLatin1(name).utf16()),
               reinterpret_cast<const wchar_t*>(value.utf16()));
#else
    qputenv(name, value.toUtf8());
#endif
}

// Writes `content` to `path`, creating its folder first.
inline bool write_file(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

inline QByteArray read_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Our screens carry no meta-object of their own, so qobject_cast (and findChild) cannot
// tell them from a plain QWidget.
template <typename T>
T* find_widget(QObject* root) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (auto* match = dynamic_cast<T*>(widget)) {
            return match;
        }
    }
    return nullptr;
}

// Answers the next modal dialog of type Dialog once it shows up: `act` gets it and must
// close it. Polls, since the dialog's own event loop is the one running then; the poll
// deletes itself once it has acted.
template <typename Dialog>
QTimer* handle_next_modal(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
    return timer;
}

// Closes the next message box and keeps its text in `text`.
inline QTimer* capture_next_message(QString* text) {
    return handle_next_modal<QMessageBox>([text](QMessageBox* box) {
        *text = box->text();
        box->accept();
    });
}

}  // namespace halvark::testing
