#pragma once

// A drop-down showing one of the ledger's TextLists: the entry category input, the query filter
// and the settings page's category box.

#include <QObject>
#include <QString>

#include "ledger/text_list.h"

class QComboBox;

namespace ui {

class TextListModel;

// Shows `list` in `box`: the box lists the items and shows the chosen one, and the user's choice
// chooses in the list. An editable box keeps the text typed into it when the items or the chosen
// item change. Lives as a child of `parent`, which outlives neither the box nor the list.
class ChoiceBinding : public QObject {
  public:
    ChoiceBinding(QComboBox* box, ledger::TextList& list, QObject* parent);

  private:
    void showChoice();

    QComboBox* box_;
    TextListModel* model_;
    // What the user typed into an editable box; the box always shows it.
    QString typed_;
    bool syncing_ = false;
};

}  // namespace ui
