#include "ui/import_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "ledger/value_texts.h"

namespace ui {

namespace {

enum Column { kTick, kKind, kDate, kItem, kAmount, kCategory, kColumns };

QString fromGbk(const std::string& gbk) { return QString::fromStdString(ledger::gbkToUtf8(gbk)); }

// Edits a category cell with a drop-down of the categories of the row's mode, so that an entry
// never gets a category of the other mode.
class CategoryDelegate : public QStyledItemDelegate {
  public:
    CategoryDelegate(const ImportPreviewDialog& dialog, QObject* parent)
        : QStyledItemDelegate(parent), dialog_(dialog) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("组合框_导入类别"));
        box->addItems(dialog_.categoriesOf(index.data(Qt::UserRole).toBool()));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        box->setCurrentIndex(box->findText(index.data().toString()));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }

  private:
    const ImportPreviewDialog& dialog_;
};

}  // namespace

ImportPreviewDialog::ImportPreviewDialog(const QString& fileName, const exchange::ImportPlan& plan,
                                         std::vector<std::string> categories, QWidget* parent)
    : QDialog(parent), rows_(plan.toAdd), categories_(std::move(categories)) {
    setObjectName(QStringLiteral("导入预览"));
    setWindowTitle(QStringLiteral("导入账单 - %1").arg(fileName));
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    auto* summary = new QLabel(QStringLiteral("将导入 %1 条，跳过重复 %2 条，不计收支 %3 条。"
                                              "取消勾选的行不导入；双击类别可以更改。")
                                   .arg(plan.toAdd.size())
                                   .arg(plan.duplicates)
                                   .arg(plan.leftOut),
                               this);
    summary->setObjectName(QStringLiteral("标签_导入统计"));
    summary->setWordWrap(true);
    layout->addWidget(summary);

    table_ = new QTableWidget(static_cast<int>(rows_.size()), kColumns, this);
    table_->setObjectName(QStringLiteral("列表框_导入预览"));
    table_->setAccessibleName(QStringLiteral("导入预览"));
    table_->setHorizontalHeaderLabels({QStringLiteral("导入"), QStringLiteral("收支"),
                                       QStringLiteral("日期"), QStringLiteral("项目"),
                                       QStringLiteral("金额"), QStringLiteral("类别")});
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->setItemDelegateForColumn(kCategory, new CategoryDelegate(*this, table_));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const ledger::Entry& e = rows_[r].entry;
        const auto fixed = [&](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            return item;
        };
        auto* tick = fixed(QString());
        tick->setFlags(tick->flags() | Qt::ItemIsUserCheckable);
        tick->setCheckState(Qt::Checked);
        table_->setItem(r, kTick, tick);
        table_->setItem(r, kKind,
                        fixed(e.income ? QStringLiteral("收入") : QStringLiteral("开支")));
        table_->setItem(r, kDate,
                        fixed(QStringLiteral("%1-%2-%3")
                                  .arg(e.date.year, 4, 10, QLatin1Char('0'))
                                  .arg(e.date.month, 2, 10, QLatin1Char('0'))
                                  .arg(e.date.day, 2, 10, QLatin1Char('0'))));
        table_->setItem(r, kItem, fixed(fromGbk(e.item)));
        auto* amount =
            fixed(QString::fromStdString(ledger::formatNumber(static_cast<double>(e.amount), 2)));
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(r, kAmount, amount);
        auto* category = new QTableWidgetItem(fromGbk(e.category));
        category->setData(Qt::UserRole, e.income);
        table_->setItem(r, kCategory, category);
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(kItem, QHeaderView::Stretch);
    layout->addWidget(table_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* confirm = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    confirm->setObjectName(QStringLiteral("按钮_确认导入"));
    confirm->setEnabled(!rows_.empty());
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("按钮_取消导入"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int ImportPreviewDialog::rowCount() const { return table_->rowCount(); }

void ImportPreviewDialog::setRowTicked(int row, bool ticked) {
    if (QTableWidgetItem* item = table_->item(row, kTick)) {
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
}

bool ImportPreviewDialog::setRowCategory(int row, const QString& category) {
    if (row < 0 || row >= rowCount()) return false;
    if (!categoriesOf(rows_[row].entry.income).contains(category)) return false;
    table_->item(row, kCategory)->setText(category);
    return true;
}

QStringList ImportPreviewDialog::categoriesOf(bool income) const {
    const auto mode = income ? ledger::LedgerMode::Income : ledger::LedgerMode::Expense;
    QStringList out;
    for (const std::string& c : categories_) {
        if (ledger::offeredInMode(c, mode)) out << fromGbk(c);
    }
    return out;
}

std::vector<ledger::Entry> ImportPreviewDialog::tickedEntries() const {
    std::vector<ledger::Entry> out;
    for (int r = 0; r < rowCount(); ++r) {
        if (table_->item(r, kTick)->checkState() != Qt::Checked) continue;
        ledger::Entry e = rows_[r].entry;
        const QString category = table_->item(r, kCategory)->text();
        if (category != fromGbk(e.category)) {
            // Every offered category came from the settings file's GBK texts.
            e.category = ledger::utf8ToGbk(category.toStdString()).value_or(e.category);
        }
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace ui
