#include "ui/components/form_labels.h"

#include <QEvent>
#include <QFormLayout>
#include <QWidget>

namespace halvark::ui::components {

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

}  // namespace halvark::ui::components
