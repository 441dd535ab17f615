#include "ui/settings_page_widget.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QUrl>

#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"
#include "ledger/window_port.h"
#include "ui/choice_binding.h"
#include "ui/controls.h"
#include "ui/gbk_text.h"
#include "ui/inputs.h"
#include "ui/window_hooks.h"

namespace ui {
namespace {

// The category box's limit, counted in GBK bytes.
constexpr int kCategoryBytes = ledger::kCategoryWidth;  // 20

// The rules label's wording, shown again when a name breaks them.
const QString kRuleOne = QStringLiteral("收入类中必需有“收入”二字");
const QString kRuleTwo = QStringLiteral("开支类中必需有“开支”二字");

}  // namespace

SettingsPageWidget::SettingsPageWidget(ledger::Categories& categories, ledger::TextList& box,
                                       const WindowHooks& hooks, QString homePage, QWidget* parent)
    : QWidget(parent),
      categories_(categories),
      boxList_(box),
      hooks_(hooks),
      homePage_(std::move(homePage)) {
    setUpPage(this, "设");
    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("分组框1"));
    group->setGeometry(10, 0, 788, 488);
    group->setAccessibleName(QStringLiteral("设置"));
    makeLabel(group, "标签10", QStringLiteral("添加类"), {21, 64, 40, 24});
    categoryBox_ = makeCombo(group, "组合框4", true, {64, 64, 112, 20});
    categoryBox_->setFont(pixelFont(QString(), 19));
    categoryBox_->setProperty("tinted", true);
    categoryBox_->setValidator(new GbkLimitValidator(kCategoryBytes, categoryBox_));
    categoryBox_->setAccessibleName(QStringLiteral("类别名称"));
    auto* add = makeButton(group, "按钮1", QStringLiteral("添加"), {181, 64, 56, 24});
    auto* remove = makeButton(group, "按钮2", QStringLiteral("删除"), {253, 64, 56, 24});
    auto* importButton =
        makeButton(group, "按钮_导入", QStringLiteral("导入账单..."), {21, 112, 88, 24});
    connect(importButton, &QPushButton::clicked, this, &SettingsPageWidget::importRequested);
    add->setAccessibleName(QStringLiteral("添加类别"));
    remove->setAccessibleName(QStringLiteral("删除类别"));
    connect(add, &QPushButton::clicked, this, &SettingsPageWidget::addCategory);
    connect(remove, &QPushButton::clicked, this, &SettingsPageWidget::removeCategory);

    QLabel* rules =
        makeLabel(group, "标签12",
                  QStringLiteral("添加类说明：\n   1、 %1\n   2、 %2").arg(kRuleOne, kRuleTwo),
                  {349, 56, 296, 136});
    rules->setWordWrap(true);
    rules->setProperty("shallowSunken", true);
    rules->setProperty("ownBackground", true);
    rules->setAutoFillBackground(true);
    rules->setAccessibleName(QStringLiteral("添加类说明"));
    rules->setAccessibleDescription(rules->text());

    auto* link = new QLabel(group);
    link->setObjectName(QStringLiteral("超级链接框1"));
    link->setGeometry(149, 384, 408, 56);
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"readme\" style=\"color:#0000ff\">本程序主页</a>"));
    link->setAlignment(Qt::AlignCenter);
    link->setFont(pixelFont(QString(), 21));
    link->setProperty("link", true);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setAccessibleName(QStringLiteral("本程序主页"));
    link->setAccessibleDescription(QStringLiteral("打开程序旁边的说明文件"));
    connect(link, &QLabel::linkActivated, this,
            [this] { hooks_.openUrl(QUrl::fromLocalFile(homePage_)); });
    makeLabel(group, "标签13", QStringLiteral("在这里可以找到程序的最新版本"), {269, 440, 184, 24});

    new ChoiceBinding(categoryBox_, boxList_, this);

    // The categories in view at once, over the box's own items: choosing one puts it in the box,
    // so 删除 (or the Delete key here) removes it.
    categoryList_ = new QListView(group);
    categoryList_->setObjectName(QStringLiteral("列表框_类别"));
    categoryList_->setGeometry(21, 144, 288, 224);
    categoryList_->setModel(categoryBox_->model());
    categoryList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    categoryList_->setSelectionMode(QAbstractItemView::SingleSelection);
    categoryList_->setAccessibleName(QStringLiteral("已有类别"));
    categoryList_->setAccessibleDescription(QStringLiteral("选中一个类别后按删除可以删掉它"));
    categoryList_->installEventFilter(this);
    connect(categoryList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid()) categoryBox_->setEditText(index.data().toString());
            });
}

bool SettingsPageWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == categoryList_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        QModelIndex index = categoryList_->currentIndex();
        if (index.isValid()) {
            categoryBox_->setEditText(index.data().toString());
            removeCategory();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsPageWidget::addCategory() {
    switch (ledger::addNewCategory(categories_, boxList_, toGbk(categoryBox_->currentText()))) {
        case ledger::AddResult::Added:
            break;
        case ledger::AddResult::InNoMode:
            hooks_.messageBox({kRuleOne + QStringLiteral("，") + kRuleTwo + QStringLiteral("!"),
                               QStringLiteral("信息："), ledger::MessageIcon::Information, false});
            break;
        case ledger::AddResult::AlreadyThere:
            hooks_.messageBox({QStringLiteral("已有这个类别!"), QStringLiteral("信息："),
                               ledger::MessageIcon::Information, false});
            break;
        case ledger::AddResult::BadName:
            hooks_.messageBox(
                {QStringLiteral("类别名称不能含有回车、换行、制表符等控制字符，未添加。"),
                 QStringLiteral("信息："), ledger::MessageIcon::Information, false});
            break;
        case ledger::AddResult::WriteFailed:
            showWriteFailure("\xcc\xed\xbc\xd3\xc0\xe0\xb1\xf0");  // 添加类别
            break;
    }
}

void SettingsPageWidget::showWriteFailure(const char* action) {
    emit progressTextRequested(
        fromGbk(ledger::writeFailureStatus(action, categories_.lastWriteError)));
}

void SettingsPageWidget::removeCategory() {
    QString name = categoryBox_->currentText();
    if (!hooks_.messageBox({QStringLiteral("您确定要删除类别“%1”吗？").arg(name), kPromptTitle,
                            ledger::MessageIcon::Question, true})) {
        return;
    }
    switch (ledger::removeCategory(categories_, boxList_, toGbk(name))) {
        case ledger::RemoveResult::Removed:
            categoryBox_->setEditText(QString());
            break;
        case ledger::RemoveResult::NotFound:
            hooks_.messageBox({QStringLiteral("没有这个类别!"), QStringLiteral("信息："),
                               ledger::MessageIcon::Information, false});
            break;
        case ledger::RemoveResult::WriteFailed:
            showWriteFailure("\xc9\xbe\xb3\xfd\xc0\xe0\xb1\xf0");  // 删除类别
            hooks_.messageBox({QStringLiteral("删除失败!"), QStringLiteral("信息："),
                               ledger::MessageIcon::Information, false});
            break;
    }
}

}  // namespace ui
