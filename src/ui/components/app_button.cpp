#include "ui/components/app_button.h"

#include <QEvent>
#include <QFormLayout>
#include <QShortcut>

namespace halvark::ui::components {

AppButton::AppButton(const QString& text, int role, QWidget* parent) : QPushButton(text, parent) {
    setProperty("role", role == 0 ? "primary" : "secondary");
}

AppButton::~AppButton() = default;

AppButton* make_back_button(QWidget* parent) {
    auto* button = new AppButton(QString(), 1, parent);
    button->setObjectName("settings_back_button");
    button->setIcon(QIcon(QStringLiteral(":/assets/svg/back.svg")));
    button->setIconSize(QSize(28, 28));
    button->setFixedSize(34, 34);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), parent);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, button, &QPushButton::click);
    return button;
}

namespace {

// Keeps a label as tall as its field: QFormLayout gives a label at most 7/4 of its own
// height at the top of the row, and QLabel centres its text in whatever height it gets.
class LabelHeightFollower : public QObject {
  public:
    LabelHeightFollower(QWidget* label, QWidget* field) : QObject(label), label(label) {
        field->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            label->setMinimumHeight(static_cast<QWidget*>(watched)->height());
        }
        return false;
    }

  private:
    QWidget* label;
};

}  // namespace

void centre_form_labels(QFormLayout* form) {
    for (int row = 0; row < form->rowCount(); ++row) {
        QLayoutItem* label = form->itemAt(row, QFormLayout::LabelRole);
        QLayoutItem* field = form->itemAt(row, QFormLayout::FieldRole);
        if (label != nullptr && label->widget() != nullptr && field != nullptr &&
            field->widget() != nullptr) {
            new LabelHeightFollower(label->widget(), field->widget());
        }
    }
}

void describe_icon_button(QAbstractButton* button, const QString& text) {
    button->setToolTip(text);
    button->setAccessibleName(text);
}

}  // namespace halvark::ui::components
