// The main window's reactions to the settings screen.
#include <QDir>
#include <QStackedWidget>
#include <algorithm>

#include "app/translator.h"
#include "ui/main_window.h"
#include "ui/memory_limits.h"
#include "ui/screens/home_screen.h"
#include "ui/screens/settings_screen.h"

namespace halvark::ui {

namespace {

constexpr qint32 kMinRamMb = 1024;

qint32 ram_to_store(bool auto_ram, qint32 requested, qint32 total) {
    if (auto_ram) {
        return recommended_ram_mb(total);
    }
    return std::max(std::min(requested, max_ram_mb(total)), kMinRamMb);
}

}  // namespace

void MainWindow::open_settings() {
    build_main_screens();
    const qint32 total = total_physical_memory_mb();
    const qint32 max = max_ram_mb(total);
    const bool auto_ram = settings.auto_ram();
    const qint32 value = ram_to_store(auto_ram, settings.ram_mb(), total);

    settings_screen->set_ram_range(kMinRamMb, max);
    settings_screen->set_language(app::Translator::instance().language());
    settings_screen->set_ram_mb(value);
    settings_screen->set_auto_ram(auto_ram);
    settings_screen->set_game_directory(settings.game_directory());
    settings_screen->set_server_list_background_enabled(settings.server_list_background_enabled());
    screen_stack->setCurrentIndex(2);
}

void MainWindow::save_settings(const QString& language, qint32 ram_mb, bool auto_ram,
                               const QString& game_directory, bool server_list_background_enabled) {
    const QString saved_language = settings.language();
    const bool saved_auto = settings.auto_ram();
    const bool language_changed = !language.isEmpty() && language != saved_language;
    const qint32 ram = ram_to_store(auto_ram, ram_mb, total_physical_memory_mb());
    QString directory = game_directory.trimmed();
    if (!directory.isEmpty()) {
        directory = QDir::cleanPath(directory);
    }
    const bool directory_changed = directory != settings.game_directory();

    if (!language_changed && ram == settings.ram_mb() && auto_ram == saved_auto &&
        !directory_changed &&
        server_list_background_enabled == settings.server_list_background_enabled()) {
        screen_stack->setCurrentIndex(0);
        return;
    }
    app::Translator& translator = app::Translator::instance();
    if (language_changed && language != translator.language() &&
        !translator.set_language(language)) {
        return;
    }
    settings.save(language_changed ? language : saved_language, ram, auto_ram,
                  directory_changed ? directory : settings.game_directory(),
                  server_list_background_enabled);
    build_main_screens();
    launch_screen->set_server_list_background_enabled(server_list_background_enabled);
    if (language_changed) {
        retranslate_all();
    }
    screen_stack->setCurrentIndex(0);
}

void MainWindow::change_language(const QString& code) {
    app::Translator& translator = app::Translator::instance();
    if (code.isEmpty() || code == translator.language()) {
        return;
    }
    if (translator.set_language(code)) {
        retranslate_all();
    }
}

void MainWindow::apply_auto_ram(bool checked) {
    build_main_screens();
    if (checked) {
        settings_screen->set_ram_mb(recommended_ram_mb(total_physical_memory_mb()));
    }
}

}  // namespace halvark::ui
