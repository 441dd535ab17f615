#include "ui/controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTableView>

#include "ui/lunar_date_box.h"

namespace ui {

QFont pixelFont(const QString& family, int pixels) {
    QFont f = family.isEmpty() ? QApplication::font() : QFont(family);
    f.setPixelSize(pixels);
    return f;
}

QFont songti(int pixels) { return pixelFont(QStringLiteral("宋体"), pixels); }

void setUpPage(QWidget* page, const char* name) {
    page->setObjectName(QString::fromUtf8(name));
    page->setProperty("page", true);
    page->setAttribute(Qt::WA_StyledBackground);
    page->setAccessibleName(QString::fromUtf8(name));
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setGeometry(place);
    l->setAccessibleName(text.simplified());
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(place);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setAccessibleName(QString(text).replace(QLatin1Char('\n'), QString()).simplified());
    return b;
}

QComboBox* makeCombo(QWidget* parent, const char* name, bool editable, QRect place) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setEditable(editable);
    if (editable) {
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);  // the typed text stays as typed
    }
    // A placeholder keeps the box from choosing the first item by itself when items arrive;
    // an editable box never shows it.
    c->setPlaceholderText(QStringLiteral(" "));
    c->setGeometry(place);
    c->setMaxVisibleItems(12);
    return c;
}

QTableView* makeList(QWidget* parent, const char* name, QAbstractItemModel* model,
                     const int* widths, int columns, int rowHeight) {
    auto* v = new QTableView(parent);
    v->setObjectName(QString::fromUtf8(name));
    v->setModel(model);
    v->setShowGrid(true);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setTabKeyNavigation(false);
    v->setWordWrap(false);
    v->setCornerButtonEnabled(false);
    v->verticalHeader()->hide();
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* h = v->horizontalHeader();
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setSortIndicatorShown(false);
    h->setFixedHeight(20);
    for (int c = 0; c + 1 < columns; ++c) h->resizeSection(c, widths[c]);
    // The last column takes what the others leave, so the list fits its view without a
    // horizontal scroll bar; the others keep their widths. A stretched section never shrinks
    // below the size it had when stretching began, so it starts from the smallest.
    h->resizeSection(columns - 1, h->minimumSectionSize());
    h->setStretchLastSection(true);
    // The selection stays visible while the list does not have the focus.
    QPalette p = v->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    v->setPalette(p);
    return v;
}

// The narrower spacing lets the longest text of the boxes' range ("丁酉年(鸡)闰八月十七
// 1957-10-10") fit the narrowest box, 199 pixels, uncut.
LunarDateBox* makeDateBox(QWidget* parent, const char* name, const QString& accessible, QRect place,
                          const QFont& windowFont) {
    auto* b = new LunarDateBox(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(place);
    b->setAccessibleName(accessible);
    QFont f = windowFont;
    f.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    b->setFont(f);
    b->setDate({2010, 2, 19});
    return b;
}

}  // namespace ui
