#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QWidget>
#include <utility>

/// Renders a widget into an image of its own size at one device pixel per pixel, over `ground`.
inline QImage renderAt1x(QWidget* widget, QColor ground = QColor(0x12, 0x34, 0x56)) {
    QImage image(widget->size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    image.fill(ground);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

/// The pixels of `image` inside `area` that have exactly `color`.
inline QSet<std::pair<int, int>> pixelsOf(const QImage& image, QColor color, QRect area) {
    QSet<std::pair<int, int>> found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == color)
                found.insert({x, y});
    return found;
}

inline QSet<std::pair<int, int>> shifted(const QSet<std::pair<int, int>>& pixels, int dx, int dy) {
    QSet<std::pair<int, int>> moved;
    for (const auto& [x, y] : pixels)
        moved.insert({x + dx, y + dy});
    return moved;
}

/// Puts the mouse cursor over `pos` of `widget`.
inline void setCursorAt(QWidget* widget, QPoint pos) {
    QCursor::setPos(widget->mapToGlobal(pos));
}

/// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

    /// The paint events that `change` brings, once the events it posts are handled.
    template <typename Change> int after(Change change) {
        count = 0;
        change();
        QCoreApplication::processEvents();
        return count;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
