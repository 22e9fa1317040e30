#include "FixedRowDelegate.h"

#include "DesignedWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace morvex {

QString PathRowDelegate::shownText(const QStyleOptionViewItem& option, const QString& text) const {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // The style keeps a margin of one focus frame and a pixel on each side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
    return fittedPath(text, option.fontMetrics, option.rect.width() - 2 * margin);
}

void PathRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    FixedRowDelegate::initStyleOption(option, index);
    option->text = shownText(*option, option->text);
    option->textElideMode = Qt::ElideNone;
}

bool PathRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return FixedRowDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                       view->visualRect(index));
    return true;
}

} // namespace morvex
