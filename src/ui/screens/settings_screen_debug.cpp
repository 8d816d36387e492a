// Settings screen: the hidden debug tab.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/translator.h"
#include "diagnostics/session_log.h"
#include "ui/components/app_button.h"
#include "ui/components/app_check_box.h"
#include "ui/screens/settings_screen.h"

namespace halvark::ui::screens {

using components::AppButton;

void SettingsScreen::build_debug_tab() {
    debug_page = new QWidget(this);
    debug_page->hide();
    auto* layout = new QVBoxLayout(debug_page);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(10);
    debug_hint_label = new QLabel(debug_page);
    debug_hint_label->setWordWrap(true);
    debug_hint_label->setStyleSheet("color: #9fb0cc;");
    debug_console_check = new components::AppCheckBox(debug_page);
    debug_network_check = new components::AppCheckBox(debug_page);
    server_list_background_check = new components::AppCheckBox(debug_page);
    force_report_button = new AppButton(QString(), 1, debug_page);
    copy_logs_button = new AppButton(QString(), 1, debug_page);
    debug_status_label = new QLabel(debug_page);
    debug_status_label->setStyleSheet("color: #9fb0cc;");
    layout->addWidget(debug_hint_label);
    layout->addWidget(debug_console_check);
    layout->addWidget(debug_network_check);
    layout->addWidget(server_list_background_check);
    layout->addWidget(force_report_button, 0, Qt::AlignLeft);
    layout->addWidget(copy_logs_button, 0, Qt::AlignLeft);
    layout->addWidget(debug_status_label);
    layout->addStretch();

    // Text fields take P as input: a shortcut never fires while they hold the focus.
    debug_shortcut = new QShortcut(QKeySequence(Qt::Key_P), this);
    debug_shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(debug_shortcut, &QShortcut::activated, this, [this] { toggle_debug_tab(); });
    connect(force_report_button, &QPushButton::clicked, this, [this] { force_report_clicked(); });
    connect(copy_logs_button, &QPushButton::clicked, this, [this] { copy_logs(); });
}

void SettingsScreen::set_server_list_background_enabled(bool flag) {
    server_list_background_check->setChecked(flag);
}

void SettingsScreen::toggle_debug_tab() {
    if (debug_tab_shown) {
        const int index = tab_widget->indexOf(debug_page);
        if (index >= 0) {
            tab_widget->removeTab(index);
        }
        debug_tab_shown = false;
        tab_widget->setCurrentIndex(0);
        return;
    }
    tab_widget->addTab(debug_page, app::tr("settings.tab_debug"));
    debug_tab_shown = true;
    tab_widget->setCurrentWidget(debug_page);
}

void SettingsScreen::set_signed_in(bool flag) {
    signed_in = flag;
    debug_status_label->clear();
}

void SettingsScreen::force_report_clicked() {
    debug_status_label->setText(app::tr("settings.debug_force_report_sending"));
    debug_status_label->repaint();  // seen before the wait starts
    const bool accepted = on_force_report && on_force_report();
    const char* failure =
        signed_in ? "settings.debug_force_report_undelivered" : "settings.debug_force_report_fail";
    debug_status_label->setText(app::tr(accepted ? "settings.debug_force_report_ok" : failure));
}

void SettingsScreen::copy_logs() {
    qint32 copied = 0;
    const QString text = diagnostics::collect_log_text(10, &copied);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (text.trimmed().isEmpty() || clipboard == nullptr) {
        debug_status_label->setText(app::tr("settings.debug_copy_fail"));
        return;
    }
    clipboard->setText(text, QClipboard::Clipboard);
    debug_status_label->setText(app::tr("settings.debug_copy_ok").arg(copied));
}

void SettingsScreen::retranslate_debug_tab() {
    debug_hint_label->setText(app::tr("settings.debug_hint"));
    debug_console_check->setText(app::tr("settings.debug_console"));
    debug_network_check->setText(app::tr("settings.debug_network"));
    server_list_background_check->setText(app::tr("settings.debug_server_list_background"));
    force_report_button->setText(app::tr("settings.debug_force_report"));
    copy_logs_button->setText(app::tr("settings.debug_copy_logs"));
    debug_status_label->clear();
    if (debug_tab_shown) {
        const int index = tab_widget->indexOf(debug_page);
        if (index >= 0) {
            tab_widget->setTabText(index, app::tr("settings.tab_debug"));
        }
    }
}

}  // namespace halvark::ui::screens
