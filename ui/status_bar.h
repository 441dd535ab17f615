#pragma once

// The status bar: seven parts of fixed width (5, 5, 80, 5, 500, 5, 150 pixels); parts 1, 3 and 5
// are sunken dividers; part 4 carries progress and mode texts, part 6 the day's net income.

#include <QFrame>
#include <QString>
#include <array>

class QLabel;

namespace ui {

class StatusBar : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kParts = 7;
    static constexpr std::array<int, kParts> kWidths = {5, 5, 80, 5, 500, 5, 150};

    explicit StatusBar(QWidget* parent = nullptr);
    // Sets the text of part `index`; an index outside 0 to 6 changes nothing.
    void setPartText(int index, const QString& text);
    QString partText(int index) const;
    QLabel* part(int index) const;

  private:
    std::array<QLabel*, kParts> parts_{};
};

}  // namespace ui
