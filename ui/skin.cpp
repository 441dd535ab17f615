#include "ui/skin.h"

#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QSvgRenderer>

static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace ui {
namespace {

void ensureResources() {
    static bool done = (initIconResources(), true);
    (void)done;
}

QPixmap render(const QString& path, int size) {
    QSvgRenderer svg(path);
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    svg.render(&painter);
    return p;
}

}  // namespace

QString blueSkin() {
    ensureResources();
    return QStringLiteral(R"css(
QToolBar { background: rgb(20,188,252); border: none; spacing: 1px; padding: 0px 2px; }
QToolBar::separator { background: rgb(120,215,255); width: 2px; margin: 6px 4px; }
QToolButton { color: black; background: transparent; border: 1px solid transparent;
              border-radius: 3px; padding: 1px 3px; }
QToolButton:hover { border-color: rgb(10,90,170); background: rgba(255,255,255,60); }
QToolButton:checked { border-color: rgb(10,70,140); background: rgba(255,255,255,110); }
QToolButton:disabled { border-color: transparent; background: transparent; }
QStackedWidget, QWidget[page="true"], QGroupBox { background: rgb(199,223,255); }
QGroupBox { border: 1px solid rgb(127,157,185); border-radius: 3px; margin: 0px; }
QStackedWidget QLabel { background: rgb(199,223,255); }
QStackedWidget QLabel[ownBackground="true"] { background: palette(window); }
QLabel[shallowSunken="true"] { border: 1px solid; border-color: rgb(128,160,200) rgb(255,255,255)
                               rgb(255,255,255) rgb(128,160,200); }
QLabel[warning="true"] { color: rgb(255,0,0); }
QLabel[mode="income"] { color: rgb(0,128,0); }
QLabel[mode="expense"] { color: rgb(200,0,0); }
QLabel[link="true"] { color: rgb(0,0,255); }
QPushButton { color: black; border: 1px solid rgb(0,60,116); border-radius: 3px;
              background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,
                                          stop:0.5 #eef4fd, stop:1 #c3d8f3);
              padding: 0px; }
QPushButton:hover { border-color: rgb(40,120,220);
                    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,
                                                stop:1 #a9cbf3); }
QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #a9cbf3,
                                                  stop:1 #e6f0fc); }
QPushButton:focus { border-color: rgb(40,100,200); }
QLineEdit { background: white; border: 1px solid rgb(127,157,185); padding: 0px 2px;
            selection-background-color: rgb(49,106,197); }
QLineEdit[amount="true"] { color: rgb(255,0,0); }
QComboBox { background: white; border: 1px solid rgb(127,157,185); padding: 0px 2px;
            selection-background-color: rgb(49,106,197); }
QComboBox[tinted="true"] { background: rgb(199,223,255); }
QComboBox[tinted="true"] QLineEdit { background: rgb(199,223,255); }
QLineEdit[missing="true"], QComboBox[missing="true"] { border: 2px solid rgb(230,0,0); }
QComboBox::drop-down { width: 15px; border-left: 1px solid rgb(127,157,185);
                       background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #e6f0fc,
                                                   stop:1 #b4cff4); }
QComboBox::down-arrow { image: url(:/icons/arrow_down.svg); width: 9px; height: 6px; }
QComboBox QAbstractItemView { background: white; selection-background-color: rgb(49,106,197);
                              border: 1px solid rgb(127,157,185); }
QHeaderView::section { color: black; padding: 0px 2px; border: none;
                       border-right: 1px solid rgb(157,185,216);
                       border-bottom: 1px solid rgb(157,185,216);
                       background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f8fbff,
                                                   stop:1 #c9ddf5); }
QTableView { border: 1px solid; border-color: rgb(100,130,170) rgb(230,240,255)
             rgb(230,240,255) rgb(100,130,170); gridline-color: rgb(184,200,220);
             selection-background-color: rgb(49,106,197); selection-color: white; }
QTableView[dayList="true"] { background: rgb(236,244,255); color: black; }
QTableView[reportList="true"] { background: white; color: black; }
QTableView QTableCornerButton::section { background: rgb(199,223,255); }
QScrollBar:vertical { background: rgb(226,236,252); width: 16px; margin: 16px 0px; }
QScrollBar:horizontal { background: rgb(226,236,252); height: 16px; margin: 0px 16px; }
QScrollBar::handle { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #d4e4fb,
                                                 stop:1 #a9c8f2);
                     border: 1px solid rgb(120,150,200); border-radius: 2px; min-height: 20px;
                     min-width: 20px; }
QScrollBar::add-line, QScrollBar::sub-line { background: rgb(199,223,255);
                                             border: 1px solid rgb(120,150,200);
                                             subcontrol-origin: margin; }
QScrollBar::add-line:vertical { subcontrol-position: bottom; height: 15px; }
QScrollBar::sub-line:vertical { subcontrol-position: top; height: 15px; }
QScrollBar::add-line:horizontal { subcontrol-position: right; width: 15px; }
QScrollBar::sub-line:horizontal { subcontrol-position: left; width: 15px; }
QScrollBar::up-arrow:vertical { image: url(:/icons/arrow_up.svg); width: 9px; height: 6px; }
QScrollBar::down-arrow:vertical { image: url(:/icons/arrow_down.svg); width: 9px; height: 6px; }
QScrollBar::left-arrow:horizontal { image: url(:/icons/arrow_left.svg); width: 6px; height: 9px; }
QScrollBar::right-arrow:horizontal { image: url(:/icons/arrow_right.svg); width: 6px;
                                     height: 9px; }
ui--StatusBar { background: rgb(214,230,250); border-top: 1px solid rgb(150,180,220); }
ui--StatusBar QLabel { background: transparent; }
ui--StatusBar QLabel[sunken="true"] { border: 1px solid; border-color: rgb(128,160,200)
                                      rgb(255,255,255) rgb(255,255,255) rgb(128,160,200); }
)css");
}

QIcon toolbarPicture(int index) {
    ensureResources();
    static const char* const kFiles[kToolbarPictures] = {
        ":/icons/bust.svg",       ":/icons/notepad.svg",        ":/icons/sheet_pencil.svg",
        ":/icons/table_hand.svg", ":/icons/monitor_person.svg", ":/icons/note_sum.svg"};
    if (index < 0 || index >= kToolbarPictures) return {};
    return QIcon(render(QString::fromLatin1(kFiles[index]), 32));
}

QIcon windowIcon() {
    ensureResources();
    QIcon icon;
    for (int size : {128, 96, 64, 48, 40, 32, 24, 16}) {
        icon.addPixmap(render(QStringLiteral(":/icons/window.svg"), size));
    }
    return icon;
}

void installFontFallbacks() {
    const QStringList serif = {QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("Noto Sans CJK SC")};
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("宋体"))) {
        QFont::insertSubstitutions(QStringLiteral("宋体"), serif);
        QFont::insertSubstitutions(QStringLiteral("SimSun"), serif);
    }
}

}  // namespace ui
