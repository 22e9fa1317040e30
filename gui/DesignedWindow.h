#pragma once

#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QString>
#include <QStyledItemDelegate>
#include <optional>

class QAction;
class QDialog;
class QFontMetrics;
class QMenu;
class QMenuBar;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace morvex {

/// A group box drawn as the design has it: an etched frame whose top line lies half a text line
/// below the box's top, with the caption on that line, so controls placed 16 pixels down clear it.
class DesignedGroupBox : public QGroupBox {
    Q_OBJECT

public:
    DesignedGroupBox(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// `path` cut to `width` pixels in its folders, so that the file name stays whole while it fits;
/// a name wider than the width alone is cut in its middle.
QString fittedPath(const QString& path, const QFontMetrics& metrics, int width);

/// The accelerator of `label` (which focuses its buddy) yields to the menu bar's menu with the
/// same letter: the key opens `menu`, as the designed platform's menu bar takes its letter
/// first. The buddy stays reachable by Tab and click.
void yieldAcceleratorToMenu(QLabel* label, QMenuBar* bar, QMenu* menu);

/// "ＭＳ Ｐゴシック" at a 12-pixel height, the font of the designed dialogs and main window.
QFont designedDialogFont();

/// Font sizes are designed at 96 dots per inch, where 9 points are 12 pixels. Points from a
/// store may be any number: the pixels are held to between 1 and 4096.
int pixelsFromPoints(qint32 points);
qint32 pointsFromPixels(int pixels);
/// The height of `font` in designed pixels, whether it was given in pixels or in points.
int fontPixels(const QFont& font);

/// The stretch (percent) at which `text` in `font` is at most `room` pixels wide: unstretched
/// when it fits as it is, else the first that fits counting down from the proportional guess,
/// never below `narrowest`. Widths do not shrink exactly in step with the stretch, so a stretch
/// above the one returned may fit too (see widestStretch).
int condensedStretch(QFont font, const QString& text, int room, int narrowest);

/// The widest stretch (percent) at which `text` in `font` is at most `room` pixels wide:
/// unstretched when it fits as it is, `narrowest` when nothing from there up to 99 fits.
int widestStretch(QFont font, const QString& text, int room, int narrowest);

/// A caption that would run into the control beside it (the substitute font is wider than the
/// designed one) is drawn just condensed enough to end `gap` pixels before `right`: the widest
/// stretch that fits, down to half width. A caption that fits keeps its font.
void endCaptionBefore(QLabel* caption, int right, int gap);

/// Fixed dialog border; with `systemMenu` the title bar carries the system menu and close box.
void setDialogBorder(QDialog* dialog, bool systemMenu);

/// A designed dialog: the fixed border of setDialogBorder, the designed font and its fixed size.
void setDesignedDialog(QDialog* dialog, const QSize& size, bool systemMenu);

/// A dialog about to be shown without a window it belongs to (a transient parent) gets one: its
/// parent's window, else the application's active window, else the shown main window. So every
/// compositor, Wayland's included, places it over that window and keeps it there.
void giveTransientParent(QWidget* dialog);

/// A fixed-size window asks its X11 window manager for a frame without a maximise button, and
/// without a minimise button unless its flags ask for one (Qt alone leaves the buttons to the
/// window manager). Elsewhere the fixed size says as much.
void askForFixedFrame(QWidget* window);

/// Places the window's frame centred on the screen that holds it (or the primary one).
void centreOnScreen(QWidget* window);

/// Where a window frame that would stand at `frame` goes so that all of it, title bar included,
/// can be reached: moved just far enough into the available area of the screen that holds most
/// of it (its top-left corner first when it is larger than that area). No place when it lies on
/// no screen: the system is to place the window then.
std::optional<QPoint> reachablePlace(const QRect& frame);

/// Moves a top-level window whose frame's top-left corner was stored at `stored` to its place
/// as reachablePlace gives it; false, and the window left where it is, when the system is to
/// place it. A window the window manager has not framed yet is assumed to get a title bar and a
/// border, and is checked again once it has its frame.
bool restorePlace(QWidget* window, const QPoint& stored);

/// `widget` with its designed object name.
template <typename W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

/// An auto-sized label at the designed left and top, named as designed.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top);

/// A one-line edit at its designed place, with `hint` as its tooltip.
QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& text,
                    const QRect& geometry, const QString& hint = {});

/// A check box or radio button at its designed place.
template <typename Button>
Button* makeChoice(QWidget* parent, const QString& name, const QString& caption,
                   const QRect& geometry) {
    auto* button = named(new Button(caption, parent), name);
    button->setGeometry(geometry);
    return button;
}

/// Only the checked button of a group of radio buttons is a Tab stop, as on the designed
/// platform: Tab enters the group at the chosen button and leaves it after; the arrow keys move
/// within. With none checked, each button is one.
void tabToCheckedRadio(const QList<QRadioButton*>& group);

/// A designed group box (DesignedGroupBox) at its designed place.
QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry);

/// A panel with a one-pixel bevel, raised or sunken, at its designed place.
QFrame* makePanel(QWidget* parent, const QString& name, const QRect& geometry,
                  QFrame::Shadow bevel);

/// An etched line (a sunken horizontal or vertical line) at its designed place.
QFrame* makeEtchedLine(QWidget* parent, const QString& name, QFrame::Shape shape,
                       const QRect& geometry);

/// A menu item or separator with its designed object name, added at the end of `menu`.
QAction* addMenuItem(QMenu* menu, const QString& name, const QString& caption);
QAction* addMenuSeparator(QMenu* menu, const QString& name);

/// A stopped timer with its designed name and interval in milliseconds.
QTimer* makeTimer(QObject* parent, const QString& name, int interval);

/// Draws list rows at a fixed height, as the designed list boxes have.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_height(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

    void setRowHeight(int height) { m_height = height; }
    int rowHeight() const { return m_height; }

private:
    int m_height;
};

/// Rows of paths in a narrow list: each shown cut in its folders with the file name whole (see
/// fittedPath), the full text as the row's tooltip.
class PathRowDelegate : public FixedRowDelegate {
public:
    using FixedRowDelegate::FixedRowDelegate;

    /// The text a row shows in `option`'s rectangle.
    QString shownText(const QStyleOptionViewItem& option, const QString& text) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

/// Every row of `list` is `height` pixels high, as a list box's fixed item height.
void setItemHeight(QListWidget* list, int height);

/// A push button at its designed place; Qt's own default-button rules are switched off so that
/// Enter and Esc follow the designed buttons only (see handleDialogKeys).
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry);

/// Enter presses the focused button, else the visible designed default button; Esc presses the
/// visible designed cancel button; hidden, disabled or missing buttons leave the key without
/// effect. Returns true for Enter and Esc (the dialog must not pass them on to QDialog, whose Esc
/// would close it), false for every other key.
bool handleDialogKeys(QKeyEvent* event, QWidget* focus, QPushButton* defaultButton,
                      QPushButton* cancelButton);

} // namespace morvex
