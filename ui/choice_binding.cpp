#include "ui/choice_binding.h"

#include <QComboBox>

#include "ui/list_models.h"

namespace ui {

ChoiceBinding::ChoiceBinding(QComboBox* box, ledger::TextList& list, QObject* parent)
    : QObject(parent), box_(box), model_(new TextListModel(list, this)) {
    box_->setModel(model_);
    if (box_->isEditable()) box_->setEditText(QString());
    showChoice();
    connect(model_, &TextListModel::listChanged, this, &ChoiceBinding::showChoice);
    connect(box_, &QComboBox::activated, this, [this](int i) {
        if (!syncing_) model_->list().select(i);
    });
    if (box_->isEditable()) {
        connect(box_, &QComboBox::editTextChanged, this, [this](const QString& t) {
            if (!syncing_) typed_ = t;
        });
    }
}

void ChoiceBinding::showChoice() {
    bool was = syncing_;
    syncing_ = true;
    box_->setCurrentIndex(model_->list().selected());
    if (box_->isEditable()) box_->setEditText(typed_);
    syncing_ = was;
}

}  // namespace ui
