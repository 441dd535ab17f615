#pragma once

// The settings page ("设"): the category box with its add and remove buttons, the rules for
// category names, and the link to the program's home page.

#include <QString>
#include <QWidget>

#include "ledger/categories.h"
#include "ledger/text_list.h"

class QComboBox;
class QListView;

namespace ui {

struct WindowHooks;

class SettingsPageWidget : public QWidget {
    Q_OBJECT
  public:
    // Builds the page's controls in their first state: the category box shows `box`, add and
    // remove change `categories` and its settings file, questions and messages go through
    // `hooks`, and the link opens `homePage`. `categories`, `box` and `hooks` outlive the page.
    SettingsPageWidget(ledger::Categories& categories, ledger::TextList& box,
                       const WindowHooks& hooks, QString homePage, QWidget* parent);

  signals:
    // 导入账单...: the user asks to import a bill file.
    void importRequested();
    // A text for status bar part 4: why a category could not be written.
    void progressTextRequested(const QString& text);

  protected:
    // The Delete key in the category list removes the category under the cursor.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // 添加: adds the box's text as a category. A name holding neither 收入 nor 开支, one already
    // there, or one with a control character is refused with a message and changes nothing; a
    // failed write of the settings file is named in status bar part 4.
    void addCategory();
    // 删除: after a Yes, removes the category named in the box and empties the box; a name that
    // is not a category, or a file that cannot be rewritten, is reported and changes nothing (the
    // failed write named in status bar part 4).
    void removeCategory();
    void showWriteFailure(const char* action);

    ledger::Categories& categories_;
    ledger::TextList& boxList_;
    const WindowHooks& hooks_;
    QString homePage_;
    QComboBox* categoryBox_ = nullptr;   // 组合框4
    QListView* categoryList_ = nullptr;  // 列表框_类别, over the box's items
};

}  // namespace ui
