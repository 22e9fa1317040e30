#pragma once

#include "controls/Color.h"
#include "controls/Style3D.h"

#include <QLabel>

namespace morvex {

/// Background shape of a TExLabel.
enum TLabelType { lbRectangle = 0, lbCircle = 1, lbRoundRect = 2 };

/// A label that can fill a rectangle, ellipse or rounded rectangle behind its text and draw the
/// text in relief (a copy in BackFont, FontDepth pixels away, under the text). Apart from the
/// painting it behaves as QLabel; the text block is always centred vertically.
class TExLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(TColor BackFont READ backFont WRITE setBackFont)
    Q_PROPERTY(TStyle3D Style3D READ style3D WRITE setStyle3D)
    Q_PROPERTY(bool Font3D READ font3D WRITE setFont3D)
    Q_PROPERTY(bool DrawOutLine READ drawOutLine WRITE setDrawOutLine)
    Q_PROPERTY(TLabelType LabelType READ labelType WRITE setLabelType)
    Q_PROPERTY(int FontDepth READ fontDepth WRITE setFontDepth)
    Q_PROPERTY(int EdgeDepth READ edgeDepth WRITE setEdgeDepth)
    Q_PROPERTY(TColor OutLineColor READ outLineColor WRITE setOutLineColor)
    Q_PROPERTY(TColor Color READ color WRITE setColor)
    Q_PROPERTY(TColor FontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)
    Q_PROPERTY(bool ShowAccelChar READ showAccelChar WRITE setShowAccelChar)
    Q_PROPERTY(bool AutoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)

public:
    explicit TExLabel(QWidget* parent = nullptr);
    explicit TExLabel(const QString& caption, QWidget* parent = nullptr);

    TColor backFont() const { return m_backFont; }
    void setBackFont(TColor value);
    TStyle3D style3D() const { return m_style3D; }
    void setStyle3D(TStyle3D value);
    bool font3D() const { return m_font3D; }
    void setFont3D(bool value);
    bool drawOutLine() const { return m_drawOutLine; }
    void setDrawOutLine(bool value);
    TLabelType labelType() const { return m_labelType; }
    void setLabelType(TLabelType value);
    int fontDepth() const { return m_fontDepth; }
    void setFontDepth(int value);
    int edgeDepth() const { return m_edgeDepth; }
    void setEdgeDepth(int value);
    TColor outLineColor() const { return m_outLineColor; }
    void setOutLineColor(TColor value);

    /// Background colour of the shape; clBtnFace (the form's face) by default.
    TColor color() const { return m_color; }
    void setColor(TColor value);
    /// Text colour (the font colour of the form files); clWindowText by default.
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor value);
    /// Off by default: the shape is filled. On: only the text is drawn over the parent.
    bool transparent() const { return m_transparent; }
    void setTransparent(bool value);
    /// On by default: "&" underlines the next character and "&&" draws one "&".
    bool showAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool value);
    /// On by default: the label takes the size of its text whenever text, font or wrapping
    /// change (a right-aligned label keeps its right edge).
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool value);

    QString caption() const { return text(); }
    void setCaption(const QString& value);
    /// Hides QLabel::setText so that AutoSize follows the text.
    void setText(const QString& value);
    /// Hides QLabel::setWordWrap so that AutoSize follows the wrapping.
    void setWordWrap(bool on);
    /// Off by default. On: a screen reader passes the label over, as one whose text another
    /// label reads out with its own (a bracket beside a number).
    bool accessibleHidden() const { return m_accessibleHidden; }
    void setAccessibleHidden(bool value) { m_accessibleHidden = value; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void adjustBounds();
    void repaintShape();
    void repaintText();
    QString measuringText() const;
    int textFlags() const;
    void paintBackground(class QPainter& painter);
    void paintText(QPainter& painter);

    TColor m_backFont = clYellow;
    TStyle3D m_style3D = bsLowered;
    bool m_font3D = false;
    bool m_drawOutLine = false;
    TLabelType m_labelType = lbRectangle;
    int m_fontDepth = 1;
    int m_edgeDepth = 10;
    TColor m_outLineColor = clBlack;
    TColor m_color = clBtnFace;
    TColor m_fontColor = clWindowText;
    bool m_transparent = false;
    bool m_showAccelChar = true;
    bool m_autoSize = true;
    bool m_accessibleHidden = false;
};

} // namespace morvex
