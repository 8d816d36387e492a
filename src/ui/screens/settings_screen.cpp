// Settings screen: frame, general tab and value setters.
#include "ui/screens/settings_screen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/translator.h"
#include "ui/components/app_button.h"
#include "ui/components/app_check_box.h"
#include "ui/components/form_labels.h"
#include "ui/components/sub_page_header.h"

namespace halvark::ui::screens {

using components::AppButton;

namespace {

constexpr qint32 kRamMin = 1024;
constexpr qint32 kRamMax = 32768;
constexpr qint32 kRamStep = 256;
constexpr int kLabelColumnWidth = 170;

QString cleaned_directory(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? QString() : QDir::cleanPath(trimmed);
}

QWidget* row_widget(QWidget* parent, QWidget* stretched, QWidget* fixed) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(stretched, 1);
    layout->addWidget(fixed, 0);
    return row;
}

}  // namespace

SettingsScreen::SettingsScreen(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    const auto header = components::add_sub_page_header(this, layout, on_back);
    back_button = header.back_button;
    title_label = header.title_label;

    tab_widget = new QTabWidget(this);
    tab_widget->setDocumentMode(true);
    tab_widget->setMovable(false);
    tab_widget->setTabPosition(QTabWidget::North);
    layout->addWidget(tab_widget, 1);
    build_general_tab();
    build_debug_tab();

    auto* bottom = new QHBoxLayout();
    bottom->addStretch(1);
    save_button = new AppButton(QString(), 0, this);
    bottom->addWidget(save_button);
    layout->addLayout(bottom);

    connect(save_button, &QPushButton::clicked, this, [this] { save_clicked(); });
    connect(ram_slider, &QSlider::valueChanged, this, [this](int value) {
        if (ram_spin_box->value() != value) {
            ram_spin_box->setValue(value);
        }
    });
    connect(ram_spin_box, &QSpinBox::valueChanged, this, [this](int value) {
        if (ram_slider->value() != value) {
            ram_slider->setValue(value);
        }
    });
    connect(auto_ram_check, &QCheckBox::toggled, this,
            [this](bool checked) { auto_ram_toggled(checked); });
    connect(language_selector, &QComboBox::currentIndexChanged, this, [this] {
        if (on_language_changed) {
            on_language_changed(language_selector->currentData().toString());
        }
    });
    connect(browse_button, &QPushButton::clicked, this, [this] { browse_clicked(); });

    retranslate();
}

SettingsScreen::~SettingsScreen() = default;

void SettingsScreen::build_general_tab() {
    general_tab = new QWidget(tab_widget);
    auto* tab_layout = new QVBoxLayout(general_tab);
    tab_layout->setContentsMargins(0, 8, 0, 0);
    tab_layout->setSpacing(10);
    auto* form = new QFormLayout();
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(10);
    tab_layout->addLayout(form);
    tab_layout->addStretch(1);

    language_label = new QLabel(general_tab);
    ram_label = new QLabel(general_tab);
    game_directory_label = new QLabel(general_tab);
    // One width in every language, so that switching it moves no control.
    for (QLabel* label : {language_label, ram_label, game_directory_label}) {
        label->setFixedWidth(kLabelColumnWidth);
    }

    language_selector = new QComboBox(general_tab);
    language_selector->addItem(QString(), QStringLiteral("ru"));
    language_selector->addItem(QString(), QStringLiteral("en"));
    language_selector->setCurrentIndex(0);
    // The default delegate ignores the style sheet's item rules (the current row's colour).
    language_selector->setItemDelegate(new QStyledItemDelegate(language_selector));

    ram_slider = new QSlider(Qt::Horizontal, general_tab);
    ram_slider->setRange(kRamMin, kRamMax);
    ram_slider->setSingleStep(kRamStep);
    ram_slider->setPageStep(512);
    ram_slider->setValue(4096);
    ram_spin_box = new QSpinBox(general_tab);
    ram_spin_box->setRange(kRamMin, kRamMax);
    ram_spin_box->setSingleStep(kRamStep);
    ram_spin_box->setValue(4096);
    ram_spin_box->setSuffix(" MB");
    ram_spin_box->setMinimumWidth(110);

    auto_ram_check = new components::AppCheckBox(general_tab);
    game_directory_edit = new QLineEdit(general_tab);
    game_directory_edit->setPlaceholderText("~/.halvark");
    browse_button = new AppButton(QString(), 1, general_tab);
    browse_button->setMinimumWidth(120);

    form->addRow(language_label, language_selector);
    form->addRow(ram_label, row_widget(general_tab, ram_slider, ram_spin_box));
    form->addRow(new QLabel(general_tab), auto_ram_check);
    form->addRow(game_directory_label, row_widget(general_tab, game_directory_edit, browse_button));
    components::centre_form_labels(form);

    tab_widget->addTab(general_tab, QString());
}

void SettingsScreen::set_on_back(std::function<void()> callback) {
    on_back = std::move(callback);
}

void SettingsScreen::set_on_save(SaveCallback callback) {
    on_save = std::move(callback);
}

void SettingsScreen::set_on_language_changed(std::function<void(const QString&)> callback) {
    on_language_changed = std::move(callback);
}

void SettingsScreen::set_on_auto_ram_toggled(std::function<void(bool)> callback) {
    on_auto_ram_toggled = std::move(callback);
}

void SettingsScreen::set_on_force_report(std::function<bool()> callback) {
    on_force_report = std::move(callback);
}

void SettingsScreen::set_ram_range(qint32 min, qint32 max) {
    const qint32 low = std::max(min, kRamStep);
    const qint32 high = std::max(low, max);
    const qint32 value = std::clamp(ram_spin_box->value(), low, high);
    ram_slider->setRange(low, high);
    ram_spin_box->setRange(low, high);
    ram_spin_box->setValue(value);
    ram_slider->setValue(value);
}

void SettingsScreen::set_ram_mb(qint32 value) {
    const qint32 clamped =
        std::max(std::min(value, ram_spin_box->maximum()), ram_spin_box->minimum());
    ram_slider->setValue(clamped);
    ram_spin_box->setValue(clamped);
}

void SettingsScreen::set_auto_ram(bool flag) {
    auto_ram_check->setChecked(flag);
    ram_slider->setEnabled(!flag);
    ram_spin_box->setEnabled(!flag);
}

void SettingsScreen::set_language(const QString& code) {
    const int index =
        language_selector->findData(code, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    language_selector->setCurrentIndex(index < 0 ? 0 : index);
}

void SettingsScreen::set_game_directory(const QString& text) {
    game_directory_edit->setText(cleaned_directory(text));
}

QString SettingsScreen::game_directory() const {
    return cleaned_directory(game_directory_edit->text());
}

void SettingsScreen::save_clicked() {
    if (on_save) {
        on_save(language_selector->currentData().toString(), ram_spin_box->value(),
                auto_ram_check->isChecked(), game_directory(),
                server_list_background_check->isChecked());
    }
}

void SettingsScreen::auto_ram_toggled(bool checked) {
    if (on_auto_ram_toggled) {
        on_auto_ram_toggled(checked);
    }
    ram_slider->setEnabled(!checked);
    ram_spin_box->setEnabled(!checked);
}

void SettingsScreen::browse_clicked() {
    QString start = game_directory();
    if (start.isEmpty()) {
        start = QDir::homePath();
    }
    // Qt's own chooser, not the platform's: it takes the launcher's dark theme.
    const QString chosen = QFileDialog::getExistingDirectory(
        this, app::tr("settings.game_dir_pick"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks |
            QFileDialog::DontUseNativeDialog);
    if (!chosen.isEmpty()) {
        game_directory_edit->setText(QDir::cleanPath(chosen));
    }
}

void SettingsScreen::retranslate() {
    title_label->setText(app::tr("settings.title"));
    tab_widget->setTabText(0, app::tr("settings.tab_general"));
    language_label->setText(app::tr("settings.language"));
    ram_label->setText(app::tr("settings.ram_mb"));
    auto_ram_check->setText(app::tr("settings.ram_auto"));
    game_directory_label->setText(app::tr("settings.game_dir"));
    retranslate_debug_tab();
    browse_button->setText(app::tr("settings.browse"));
    language_selector->setItemText(0, app::tr("language.ru"));
    language_selector->setItemText(1, app::tr("language.en"));
    back_button->setText(QString());
    components::describe_icon_button(back_button, app::tr("app.back"));
    save_button->setText(app::tr("settings.save"));
}

}  // namespace halvark::ui::screens
