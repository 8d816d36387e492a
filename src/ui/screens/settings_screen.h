#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace halvark::ui::components {
class AppButton;
}

namespace halvark::ui::screens {

// Language, memory and game directory, plus the debug tab that the key P reveals.
// Holds no settings of its own: the main window fills it and receives the values.
class SettingsScreen : public QWidget {
  public:
    using SaveCallback =
        std::function<void(const QString& language, qint32 ram_mb, bool auto_ram,
                           const QString& game_directory, bool server_list_background_enabled)>;

    explicit SettingsScreen(QWidget* parent = nullptr);
    ~SettingsScreen() override;

    void set_on_back(std::function<void()> callback);
    void set_on_save(SaveCallback callback);
    void set_on_language_changed(std::function<void(const QString&)> callback);
    void set_on_auto_ram_toggled(std::function<void(bool)> callback);
    void set_on_force_report(std::function<bool()> callback);

    void set_ram_range(qint32 min, qint32 max);
    void set_ram_mb(qint32 value);
    void set_auto_ram(bool flag);
    void set_language(const QString& code);
    void set_game_directory(const QString& text);
    void set_server_list_background_enabled(bool flag);
    // Whether an account is signed in: decides why a report failed. A change of account
    // clears the debug tab's status line, which belongs to the previous one.
    void set_signed_in(bool flag);
    QString game_directory() const;

    void retranslate();

  private:
    void build_general_tab();
    void build_debug_tab();
    void save_clicked();
    void auto_ram_toggled(bool checked);
    void browse_clicked();
    void toggle_debug_tab();
    void force_report_clicked();
    void copy_logs();
    void retranslate_debug_tab();

    std::function<void()> on_back;
    SaveCallback on_save;
    std::function<void(const QString&)> on_language_changed;
    std::function<void(bool)> on_auto_ram_toggled;
    std::function<bool()> on_force_report;

    components::AppButton* back_button = nullptr;
    QLabel* title_label = nullptr;
    QTabWidget* tab_widget = nullptr;
    QWidget* general_tab = nullptr;
    QLabel* language_label = nullptr;
    QLabel* ram_label = nullptr;
    QLabel* game_directory_label = nullptr;
    QComboBox* language_selector = nullptr;
    QSlider* ram_slider = nullptr;
    QSpinBox* ram_spin_box = nullptr;
    QCheckBox* auto_ram_check = nullptr;
    QLineEdit* game_directory_edit = nullptr;
    components::AppButton* browse_button = nullptr;
    components::AppButton* save_button = nullptr;

    QWidget* debug_page = nullptr;
    QLabel* debug_hint_label = nullptr;
    QCheckBox* debug_console_check = nullptr;
    QCheckBox* debug_network_check = nullptr;
    QCheckBox* server_list_background_check = nullptr;
    components::AppButton* force_report_button = nullptr;
    components::AppButton* copy_logs_button = nullptr;
    QLabel* debug_status_label = nullptr;
    bool debug_tab_shown = false;
    bool signed_in = false;
    QShortcut* debug_shortcut = nullptr;
};

}  // namespace halvark::ui::screens
