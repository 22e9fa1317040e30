#include "app/ConvPicture.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace morvex {
namespace {

void drawSheet(QPainter& painter) {
    QPainterPath sheet;
    sheet.moveTo(5.5, 2.5);
    sheet.lineTo(19.5, 2.5);
    sheet.lineTo(25.5, 8.5);
    sheet.lineTo(25.5, 29.5);
    sheet.lineTo(5.5, 29.5);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);
    // The folded corner.
    painter.setBrush(QColor(0xdd, 0xdd, 0xdd));
    painter.drawPolygon(QPolygonF{{19.5, 2.5}, {19.5, 8.5}, {25.5, 8.5}});
}

void drawLines(QPainter& painter) {
    // Plain text in grey; the marked lines in the header and footer colours.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0xbf));
    painter.drawRect(QRectF(8, 6, 9, 2));
    painter.setBrush(QColor(0x99, 0x99, 0x99));
    for (int y : {11, 15, 19})
        painter.drawRect(QRectF(8, y, 15, 2));
    painter.setBrush(QColor(0xc0, 0x30, 0x30));
    painter.drawRect(QRectF(8, 24, 11, 2));
}

void drawArrow(QPainter& painter) {
    QPainterPath arrow;
    arrow.moveTo(18, 30);
    arrow.cubicTo(26, 30, 29, 25, 29, 19);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x1e, 0x8c, 0x3c), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(arrow);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1e, 0x8c, 0x3c));
    painter.drawPolygon(QPolygonF{{24.5, 20}, {29, 13.5}, {33, 20}});
}

} // namespace

QIcon convButtonPicture(int scale) {
    scale = std::max(scale, 1);
    QImage image(kConvPictureSize * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    drawSheet(painter);
    drawLines(painter);
    drawArrow(painter);
    painter.end();
    image.setDevicePixelRatio(scale);
    return QIcon(QPixmap::fromImage(image));
}

} // namespace morvex
