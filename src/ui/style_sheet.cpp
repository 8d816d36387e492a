#include "ui/style_sheet.h"

namespace halvark::ui {

QString app_style_sheet() {
    // Rule order matters where two rules weigh the same.
    return QStringLiteral(
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
        "#server_profile_dropdown_button #server_profile_arrow:enabled {color: #d5e3ff;}");
}

}  // namespace halvark::ui
