#include "ui/components/sub_page_header.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/components/app_button.h"

namespace halvark::ui::components {

namespace {

// Escape that no child of the page took goes back. An open drop-down list or menu is a window
// of its own: its Escape closes only it and never reaches the page, as a shortcut's would.
class EscapeGoesBack final : public QObject {
  public:
    EscapeGoesBack(QWidget* page, QAbstractButton* back) : QObject(page), back_(back) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            back_->click();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QAbstractButton* back_;
};

}  // namespace

SubPageHeader add_sub_page_header(QWidget* page, QVBoxLayout* layout,
                                  const std::function<void()>& on_back) {
    SubPageHeader header;
    header.back_button = new AppButton(QString(), 1, page);
    header.back_button->setObjectName("settings_back_button");
    header.back_button->setIcon(QIcon(QStringLiteral(":/assets/png/icons/back.png")));
    header.back_button->setIconSize(QSize(28, 28));
    header.back_button->setFixedSize(34, 34);
    page->installEventFilter(new EscapeGoesBack(page, header.back_button));
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
