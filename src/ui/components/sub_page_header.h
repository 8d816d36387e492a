#pragma once

#include <functional>

class QLabel;
class QVBoxLayout;
class QWidget;

namespace halvark::ui::components {

class AppButton;

// The top of a sub-page (profile, settings): the icon-only back button alone on its row, then
// the page title. The button, or Escape anywhere on `page`, calls `on_back` when it is set.
struct SubPageHeader {
    AppButton* back_button = nullptr;
    QLabel* title_label = nullptr;
};
SubPageHeader add_sub_page_header(QWidget* page, QVBoxLayout* layout,
                                  const std::function<void()>& on_back);

}  // namespace halvark::ui::components
