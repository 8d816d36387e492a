#include "ui/screens/home_screen.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPluginLoader>
#include <QVBoxLayout>

#include "app/translator.h"
#include "diagnostics/native_crash_handler.h"

namespace halvark::ui::screens {

namespace {

// Shown instead of the home screen when its plug-in is missing or broken (a damaged or
// half-updated installation): the player learns what to do, the rest of the launcher works.
class MissingHomeScreen final : public HomeScreen {
  public:
    MissingHomeScreen(QString reason, QWidget* parent)
        : HomeScreen(parent), reason(std::move(reason)), message(new QLabel(this)) {
        message->setWordWrap(true);
        message->setAlignment(Qt::AlignCenter);
        message->setTextFormat(Qt::PlainText);
        (new QVBoxLayout(this))->addWidget(message);
        show_message();
    }
    void set_on_logout(Callback) override {}
    void set_on_open_settings(Callback) override {}
    void set_on_open_profile(Callback) override {}
    void set_account_name(const QString&) override {}
    void set_profile_waiting(bool) override {}
    void set_sign_out_pending(bool) override {}
    void retranslate() override { show_message(); }
    void set_user(const QJsonObject&) override {}
    void set_server_list_background_enabled(bool) override {}
    void set_avatar_uuid(const QString&) override {}

  private:
    // The toolkit's reason ends with a full stop of its own, which the sentence around it has.
    void show_message() {
        const QString cause = reason.endsWith(QLatin1Char('.')) ? reason.chopped(1) : reason;
        message->setText(app::tr("launch.home_missing").arg(cause));
    }

    QString reason;
    QLabel* message;
};

}  // namespace

HomeScreen* load_home_screen(QWidget* parent) {
    const QObjectList linked_in = QPluginLoader::staticInstances();
    for (QObject* instance : linked_in) {
        if (auto* factory = qobject_cast<HomeScreenFactory*>(instance)) {
            return factory->create_home_screen(parent);
        }
    }
    // Kept loaded for the rest of the run: the screen's code lives in it.
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/halvark_home");
    static QPluginLoader loader(path);
    // A symbol the program lacks fails the load here, with its name, not later in a call.
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (auto* factory = qobject_cast<HomeScreenFactory*>(loader.instance())) {
        diagnostics::note_loaded_modules();  // a crash in the plug-in names it too
        return factory->create_home_screen(parent);
    }
    const QString reason = loader.errorString();
    qCritical().noquote() << QStringLiteral("The home screen could not be loaded from %1: %2")
                                 .arg(QDir::toNativeSeparators(path), reason);
    return new MissingHomeScreen(reason, parent);
}

}  // namespace halvark::ui::screens
