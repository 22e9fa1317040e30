#pragma once

#include <QFont>
#include <QGroupBox>
#include <QString>

class QDialog;
class QFontMetrics;
class QMenu;
class QMenuBar;
class QKeyEvent;
class QLabel;
class QListWidget;
class QPushButton;
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

/// "ＭＳ Ｐゴシック" at a 12-pixel height, the font of the designed dialogs.
QFont designedDialogFont();

/// Fixed dialog border; with `systemMenu` the title bar carries the system menu and close box.
void setDialogBorder(QDialog* dialog, bool systemMenu);

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

/// An auto-sized label at the designed left and top, named as designed.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top);

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
