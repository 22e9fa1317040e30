#pragma once

#include "controls/Color.h"
#include "controls/Style3D.h"

#include <QImage>
#include <QString>
#include <QWidget>

class QMouseEvent;

namespace morvex {

/// A round button drawn on its parent's surface: a disc with a raised or sunken ring. It takes
/// mouse input only inside its ellipse and works as a push button (GroupIndex 0) or as one
/// latching button of a group of siblings with the same GroupIndex, at most one of them down.
class TMaruBtn : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool AllowAllUp READ allowAllUp WRITE setAllowAllUp)
    Q_PROPERTY(TColor BackFont READ backFont WRITE setBackFont)
    Q_PROPERTY(TColor Color READ color WRITE setColor)
    Q_PROPERTY(bool Down READ down WRITE setDown)
    Q_PROPERTY(bool Font3D READ font3D WRITE setFont3D)
    Q_PROPERTY(int FontDepth READ fontDepth WRITE setFontDepth)
    Q_PROPERTY(int GroupIndex READ groupIndex WRITE setGroupIndex)
    Q_PROPERTY(TColor OutLineColor READ outLineColor WRITE setOutLineColor)
    Q_PROPERTY(TFontStyle3D Style3D READ style3D WRITE setStyle3D)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(TColor FontColor READ fontColor WRITE setFontColor)

public:
    enum RoundButtonState { StateUp, StateDisabled, StatePressed, StateLatched };

    /// A new button is 50 x 50 at (0, 0).
    explicit TMaruBtn(QWidget* parent = nullptr);
    ~TMaruBtn() override;

    bool allowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool value);
    TColor backFont() const { return m_backFont; }
    void setBackFont(TColor value);
    TColor color() const { return m_color; }
    void setColor(TColor value);
    bool down() const { return m_down; }
    /// Only a group button can be down; a down button goes up only while AllowAllUp holds.
    void setDown(bool value);
    bool font3D() const { return m_font3D; }
    void setFont3D(bool value);
    int fontDepth() const { return m_fontDepth; }
    void setFontDepth(int value);
    int groupIndex() const { return m_groupIndex; }
    void setGroupIndex(int value);
    TColor outLineColor() const { return m_outLineColor; }
    void setOutLineColor(TColor value);
    TFontStyle3D style3D() const { return m_style3D; }
    void setStyle3D(TFontStyle3D value);
    QString caption() const { return m_caption; }
    /// "&" marks the accelerator character (Alt + that key), "&&" draws one "&".
    void setCaption(const QString& value);
    /// The caption's colour (the font colour of the form files); clWindowText by default.
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor value);

    RoundButtonState state() const { return m_state; }
    bool dragging() const { return m_dragging; }

    /// The square inscribed in the ellipse bounded by `rect`: the caption box.
    static QRect InnerTextRect(const QRect& rect);
    /// True when (x, y) lies in the elliptic region bounded by the client rectangle.
    bool InEllipse(int x, int y) const;
    /// The click: fires clicked() only when the cursor is over the ellipse now.
    void Click();
    /// A press from an assistive tool (a screen reader's press action): what a click inside the
    /// ellipse does (a group button changes its Down, then clicked() fires), wherever the
    /// cursor is. Does nothing while disabled.
    void accessiblePress();

    /// The checkerboard brush of latched faces shared by all buttons; null until a latched face
    /// is painted and again after any button is destroyed.
    static const QImage* LatchPattern();

Q_SIGNALS:
    void clicked();
    void doubleClicked();
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseMove(Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void press(QMouseEvent* event);
    void NotifyGroup();
    void GroupPress(int groupIndex, TMaruBtn* sender);
    void updateShortcut();
    void fixUpState();
    void paintRing(class QPainter& painter);
    void DrawCaption3D(QPainter& painter, const QRect& rect, RoundButtonState state);

    bool m_allowAllUp = false;
    TColor m_backFont = clYellow;
    TColor m_color = clBtnFace;
    bool m_down = false;
    bool m_font3D = false;
    int m_fontDepth = 1;
    int m_groupIndex = 0;
    TColor m_outLineColor = clBtnShadow;
    TFontStyle3D m_style3D = bsRaised;
    QString m_caption;
    TColor m_fontColor = clWindowText;
    RoundButtonState m_state = StateUp;
    bool m_dragging = false;
    int m_shortcutId = 0;
};

} // namespace morvex
