#include "ui/components/app_button.h"

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

void describe_icon_button(QAbstractButton* button, const QString& text) {
    button->setToolTip(text);
    button->setAccessibleName(text);
}

}  // namespace halvark::ui::components
