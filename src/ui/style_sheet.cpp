#include "ui/style_sheet.h"

#include <array>
#include <string_view>

namespace halvark::ui {

namespace {

// Rule order matters where two rules weigh the same.
constexpr char kSheet[] =
    "QMainWindow {background: #0b1220;}"
    "#root {background: #0f1829; border: none; border-radius: 0;}"
    "#auth_card {background: #121f33; border: 1px solid #314769; border-radius: 14px;}"
    "#launch_bottom_block {background: transparent; border: none;}"
    "#news_primary_card {background: #101a2b; border: 1px solid #2a3b59; border-radius: 12px;}"
    "#news_side_card {background: #101a2b; border: 1px solid #2a3b59; border-radius: 12px;}"
    "#news_primary_title {color: #f3f7ff; font-size: 16px; font-weight: 700;}"
    "#news_side_title {color: #d8e1f2; font-size: 13px; font-weight: 600;}"
    "#news_primary_image {background: #0b121d; border: 1px solid #2a3b59; border-radius: 10px;}"
    "#news_side_image {background: #0b121d; border: 1px solid #2a3b59; border-radius: 8px;}"
    "#auth_logo {margin-bottom: 4px;}"
    "#auth_surface {background: #0f1828; border: 1px solid #2b3f5c; border-radius: 12px;}"
    "QLabel {color: #d8e1f2;}"
    "QLineEdit {background: #0b121d; border: 1px solid #2a3c58; border-radius: 10px; "
    "padding: 10px 12px; color: #edf3ff; selection-background-color: #2d6cdf;}"
    "QLineEdit:focus {border-color: #4788ff;}"
    "QCheckBox {color: #b4c2d9;}"
    "#server_profile_surface {background: transparent; border: 1px solid #2b3f5c; "
    "border-radius: 10px;}"
    "#server_profile_background {border-radius: 10px;}"
    "#server_profile_background_dimmer {background: rgba(0, 0, 0, 0); border-radius: 10px;}"
    "#server_profile_dropdown_button {background: transparent; color: #edf3ff; border: none; "
    "border-radius: 10px; padding: 0px; text-align: left;}"
    "#server_profile_dropdown_button:hover {background: rgba(19, 32, 54, 70);}"
    "#server_profile_title {color: #ffffff; font-size: 17px; font-weight: 750;}"
    "#server_profile_description {color: #ffffff; font-size: 12px; font-weight: 500;}"
    "#server_profile_arrow {color: #d5e3ff; font-size: 20px; font-weight: 700;}"
    "#server_profile_dropdown_button:disabled #server_profile_title {color: #9fb0cc;}"
    "#server_profile_dropdown_button:disabled #server_profile_description {color: #7f8ea8;}"
    "#server_profile_dropdown_button:disabled #server_profile_arrow {color: #7f8ea8;}"
    "#server_profile_dropdown_button:disabled {background: rgba(13, 21, 36, 70);}"
    "QMenu#server_profile_menu {background: #0f1828; color: #edf3ff; "
    "border: 1px solid #2b3f5c;}"
    "QMenu#server_profile_menu::item {padding: 8px 12px;}"
    "QMenu#server_profile_menu::item:selected {background: #2d6cdf; color: #ffffff;}"
    "#server_profile_entry {background: transparent; border-radius: 6px;}"
    "#server_profile_entry[current='true'] {background: #2d6cdf;}"
    "#server_profile_entry_name {color: #edf3ff; font-weight: 600;}"
    "#server_profile_entry_description {color: #9fb0cc; font-size: 12px;}"
    "#server_profile_entry[current='true'] #server_profile_entry_name, "
    "#server_profile_entry[current='true'] #server_profile_entry_description {color: #ffffff;}"
    "QPushButton {border: none; border-radius: 10px; padding: 10px 18px; font-weight: 700;}"
    "QPushButton[role='primary'] {background: #2f76f2; color: #ffffff;}"
    "QPushButton[role='primary']:hover {background: #3a84ff;}"
    "QPushButton[role='secondary'] {background: #253247; color: #e9f0ff; "
    "border: 1px solid #31415a;}"
    "QPushButton[role='secondary']:hover {background: #2d3d55;}"
    "#settings_back_button {padding: 1px; min-width: 0px;}"
    // Qt does not match pseudo-states of ancestors, so the three ":disabled" selector
    // rules above hold in every state; these restore the enabled colours.
    "#server_profile_dropdown_button #server_profile_title:enabled {color: #ffffff;}"
    "#server_profile_dropdown_button #server_profile_description:enabled {color: #ffffff;}"
    "#server_profile_dropdown_button #server_profile_arrow:enabled {color: #d5e3ff;}"
    // The settings screen's tabs and value controls, which would otherwise keep the
    // platform's light look on the dark page.
    "QTabWidget::pane {border: none;}"
    "QTabBar {qproperty-drawBase: 0;}"
    "QTabBar::tab {background: #121f33; color: #b4c2d9; border: 1px solid #2b3f5c; "
    "border-bottom: none; border-top-left-radius: 8px; border-top-right-radius: 8px; "
    "padding: 7px 16px; margin-right: 4px;}"
    "QTabBar::tab:selected {background: #253247; color: #ffffff;}"
    "QComboBox, QSpinBox {background: #0b121d; color: #edf3ff; border: 1px solid #2a3c58; "
    "border-radius: 8px; padding: 6px 10px;}"
    "QComboBox:focus, QSpinBox:focus {border-color: #4788ff;}"
    "QComboBox::drop-down {border: none; width: 28px;}"
    "QComboBox::down-arrow {image: url(:/assets/png/icons/chevron-down.png); width: 14px; "
    "height: "
    "14px;}"
    "QSpinBox::up-button, QSpinBox::down-button {width: 0px; border: none;}"
    "QComboBox:disabled, QSpinBox:disabled {color: #6f7f99;}"
    "QComboBox QAbstractItemView {background: #0f1828; color: #edf3ff; "
    "selection-background-color: #2d6cdf; border: 1px solid #2b3f5c;}"
    "QSlider::groove:horizontal {height: 6px; background: #253247; border-radius: 3px;}"
    "QSlider::sub-page:horizontal {background: #2f76f2; border-radius: 3px;}"
    "QSlider::sub-page:horizontal:disabled {background: #3b4a63;}"
    "QSlider::handle:horizontal {background: #e9f0ff; width: 16px; margin: -5px 0; "
    "border-radius: 8px;}"
    // The combo box's popup: no light frame around the list, a clear current row.
    "QComboBox {combobox-popup: 0;}"
    "QComboBoxPrivateContainer {background: #0f1828; border: 1px solid #2b3f5c;}"
    "QComboBox QAbstractItemView {padding: 0px; outline: 0px; border: none;}"
    "QComboBox QAbstractItemView::item {padding: 6px 10px; min-height: 22px;}"
    "QComboBox QAbstractItemView::item:selected, QComboBox QAbstractItemView::item:hover "
    "{background: #2d6cdf; color: #ffffff;}"
    // The unchecked border at 3:1 or more against every surface a check box sits on.
    "QCheckBox::indicator {width: 16px; height: 16px; border: 1px solid #667ca0; "
    "border-radius: 4px; background: #0b121d;}"
    "QCheckBox::indicator:hover {border-color: #4788ff;}"
    // Focus in a light border: at least 3:1 against the page and against the checked fill.
    "QCheckBox::indicator:focus, QCheckBox::indicator:checked:focus {border-color: #e6eeff;}"
    // The mark itself is drawn by AppCheckBox.
    "QCheckBox::indicator:checked {background: #2f76f2; border-color: #2f76f2;}"
    "QCheckBox::indicator:disabled {background: #141d2c; border-color: #2b3a52;}"
    "QCheckBox:disabled {color: #6f7f99;}"
    // Focus is a border in the theme's blue, not the platform's light focus frame.
    "QPushButton {outline: none;}"
    "QPushButton[role='secondary']:focus {border-color: #4788ff;}"
    "QPushButton[role='primary']:focus {border: 1px solid #cfe0ff; padding: 9px 17px;}"
    "QPushButton:disabled {background: #1b2536; color: #6f7f99;}"
    // A sign-in that waits: the button stays readable, its words say what happens.
    "QPushButton[role='primary'][waiting='true']:disabled {background: #24509e; color: "
    "#ffffff;}"
    "QSlider:focus {outline: none;}"
    "#server_profile_dropdown_button {outline: none;}"
    "#server_profile_dropdown_button:focus {border: 2px solid #e6eeff;}"
    "QSlider::handle:horizontal:focus {background: #ffffff; border: 2px solid #4788ff;}"
    "QTabBar::tab:focus {color: #ffffff; border-color: #4788ff;}"
    // Dialogs the toolkit draws for us (warnings, the code prompt, the folder chooser):
    // the same dark page, readable text and our buttons.
    "QDialog {background: #0f1829; border: 1px solid #31415a;}"
    "QDialogButtonBox {dialogbuttonbox-buttons-have-icons: 0;}"
    "QDialog QLabel {color: #d8e1f2;}"
    "QDialog QPushButton {background: #253247; color: #e9f0ff; border: 1px solid #31415a; "
    "padding: 8px 16px; min-width: 64px;}"
    "QDialog QPushButton:hover {background: #2d3d55;}"
    "QDialog QPushButton:default {background: #2f76f2; color: #ffffff; border-color: #2f76f2;}"
    "QDialog QPushButton:focus {border-color: #cfe0ff;}"
    "QDialog QLineEdit {padding: 7px 10px;}"
    "QDialog QTreeView, QDialog QListView {background: #0b121d; color: #edf3ff; "
    "border: 1px solid #2a3c58; selection-background-color: #2d6cdf; "
    "alternate-background-color: #101a2b;}"
    "QDialog QHeaderView {background: #121f33; border: none;}"
    "QDialog QAbstractScrollArea::corner {background: #0b121d; border: none;}"
    "QDialog QHeaderView::section {background: #121f33; color: #b4c2d9; border: none; "
    "border-right: 1px solid #2b3f5c; padding: 4px 8px;}"
    "QDialog QToolButton {background: #253247; border: 1px solid #31415a; "
    "border-radius: 6px; padding: 3px;}"
    "QDialog QComboBox {padding: 4px 8px;}"
    "QMenu {background: #0f1828; color: #edf3ff; border: 1px solid #2b3f5c;}"
    "QMenu::item:selected {background: #2d6cdf;}"
    "QToolTip {background: #121f33; color: #edf3ff; border: 1px solid #31415a; "
    "padding: 4px;}";

// Rules naming another page's widgets, a dialog or a popup, which the first frame has not.
constexpr std::string_view kLater[] = {"#server_profile", "#news_",  "#launch_",   "#settings_",
                                       "QMenu",           "QTabBar", "QTabWidget", "QComboBox",
                                       "QSpinBox",        "QSlider", "QDialog",    "QToolTip"};

// The sheet without those rules, in the same order, made by the compiler: nothing of it runs
// before the first frame.
constexpr std::array<char, sizeof kSheet> first_frame_rules() {
    std::array<char, sizeof kSheet> kept{};
    const std::string_view sheet(kSheet, sizeof kSheet - 1);
    std::size_t length = 0;
    for (std::size_t start = 0; start < sheet.size();) {
        const std::size_t brace = sheet.find('}', start);
        const std::size_t end = brace == std::string_view::npos ? sheet.size() : brace + 1;
        const std::string_view rule = sheet.substr(start, end - start);
        const std::string_view selectors = rule.substr(0, rule.find('{'));
        bool later = false;
        for (const std::string_view name : kLater) {
            later = later || selectors.find(name) != std::string_view::npos;
        }
        for (std::size_t i = 0; !later && i < rule.size(); ++i) {
            kept[length++] = rule[i];
        }
        start = end;
    }
    return kept;
}

constexpr auto kSignInSheet = first_frame_rules();
constexpr auto kSignInSheetLength = qsizetype(std::string_view(kSignInSheet.data()).size());

}  // namespace

QString app_style_sheet() {
    return QString::fromLatin1(kSheet, qsizetype(sizeof kSheet) - 1);
}

QString sign_in_style_sheet() {
    return QString::fromLatin1(kSignInSheet.data(), kSignInSheetLength);
}

}  // namespace halvark::ui
