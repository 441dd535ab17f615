#pragma once

// What the ledger needs of the window, as a small interface of its own. The Qt window implements
// it; tests implement it with fakes. Everything here is called on the window's thread.

#include <functional>
#include <string>

#include "ledger/value_texts.h"

namespace ledger {

// The icon of a message box, valued as the codes the ledger has always passed.
enum class MessageIcon {
    None = 0,
    Error = 16,  // with an OK button
    Question = 32,
    Warning = 48,
    Information = 64,
};

// The title of the program's questions and error messages, GBK bytes.
inline constexpr char kPromptTitle[] =
    "Tamvelo1.0\xb0\xe6 \xcc\xe1\xca\xbe\xc4\xfa...";  // Tamvelo1.0版 提示您...

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    // The day date box (农历日期框1): its value reads as the chosen date at 23:59:59.
    virtual DateTime dayDate() const = 0;
    // Asks the day date box to show a date; false when the box refuses it (outside 1901-02-19 to
    // 2048-12-31 or not a calendar date). An accepted date queues a date-changed notification
    // that reaches the ledger later as onDayDateChanged.
    virtual bool setDayDate(const Date& d) = 0;
    // The query page's start and end date boxes (农历日期框2, 农历日期框3), read as 23:59:59.
    virtual DateTime startDate() const = 0;
    virtual DateTime endDate() const = 0;
    // The query page's category filter text (组合框3).
    virtual std::string filterText() const = 0;

    // A Yes/No question with a question icon; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
    // A message with an OK button and the given icon.
    virtual void showMessage(const std::string& text, MessageIcon icon,
                             const std::string& title) = 0;

    // Moves the keyboard focus to the item input (组合框1).
    virtual void focusItemInput() = 0;
    // Lets the window handle its pending events from inside a running action.
    virtual void processEvents() = 0;
    // The local clock.
    virtual DateTime now() const = 0;
};

}  // namespace ledger
