#pragma once

// The control factory: every label, button, drop-down, list and date box of the pages is made
// here with the window's common settings, so a page only gives its control's name, text and
// place. Also the pixel fonts the pages set on their controls.

#include <QFont>
#include <QRect>
#include <QString>

class QAbstractItemModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

namespace ui {

class LunarDateBox;

// A font `pixels` high: `family`, or the application's font when `family` is empty.
QFont pixelFont(const QString& family, int pixels);
// 宋体 `pixels` high (a CJK serif face where 宋体 is missing).
QFont songti(int pixels);

// One page of the page container: named, drawn in the skin's page colour, read out by its name.
void setUpPage(QWidget* page, const char* name);

// A plain-text label, left-aligned and centred vertically, read out by its text.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect place);
// A push button that is never a default button (Enter belongs to the inputs), read out by its
// text on one line.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect place);
// A drop-down of 12 visible items; an editable one keeps the typed text as typed (no completion,
// nothing inserted into its items).
QComboBox* makeCombo(QWidget* parent, const char* name, bool editable, QRect place);
// A read-only list of whole rows on `model`: one selected row, grid lines, a fixed 20-pixel
// header whose sections cannot be clicked, `columns` columns of `widths` (the last stretched to
// the view's width), rows `rowHeight` high.
QTableView* makeList(QWidget* parent, const char* name, QAbstractItemModel* model,
                     const int* widths, int columns, int rowHeight);
// A lunar date box in `windowFont` with half a pixel less between the glyphs, showing its first
// date, 2010-02-19.
LunarDateBox* makeDateBox(QWidget* parent, const char* name, const QString& accessible, QRect place,
                          const QFont& windowFont);

}  // namespace ui
