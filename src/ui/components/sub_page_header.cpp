#include "ui/components/sub_page_header.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include "ui/components/app_button.h"

namespace halvark::ui::components {

SubPageHeader add_sub_page_header(QWidget* page, QVBoxLayout* layout,
                                  const std::function<void()>& on_back) {
    SubPageHeader header;
    header.back_button = new AppButton(QString(), 1, page);
    header.back_button->setObjectName("settings_back_button");
    header.back_button->setIcon(QIcon(QStringLiteral(":/assets/png/icons/back.png")));
    header.back_button->setIconSize(QSize(28, 28));
    header.back_button->setFixedSize(34, 34);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), page);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, header.back_button,
                     [back = header.back_button] {
                         // An open drop-down list or menu is the page's child too: its Escape
                         // closes only it, and the page keeps its edits.
                         if (QWidget* popup = QApplication::activePopupWidget()) {
                             popup->close();
                             return;
                         }
                         back->click();
                     });
    // `on_back` is the page's own member, installed after construction.
    QObject::connect(header.back_button, &QPushButton::clicked, page, [&on_back] {
        if (on_back) {
            on_back();
        }
    });

    auto* row = new QHBoxLayout();
    row->addWidget(header.back_button, 0, Qt::AlignLeft);
    row->addStretch(1);
    layout->addLayout(row);

    header.title_label = new QLabel(page);
    header.title_label->setStyleSheet("font-size: 22px; font-weight: 700; color: #f3f7ff;");
    layout->addWidget(header.title_label);
    return header;
}

}  // namespace halvark::ui::components
