#include "gui/Accessibility.h"

#include "gui/DesignedWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

QString captionOf(const QWidget* control) {
    // Arrow buttons (of up-down controls, of tab bars) say which way they go.
    if (const auto* arrow = qobject_cast<const QToolButton*>(control);
        arrow && arrow->text().isEmpty()) {
        switch (arrow->arrowType()) {
        case Qt::UpArrow:
            return u"増やす"_s;
        case Qt::DownArrow:
            return u"減らす"_s;
        case Qt::LeftArrow:
            return u"左へ"_s;
        case Qt::RightArrow:
            return u"右へ"_s;
        case Qt::NoArrow:
            break;
        }
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    return {};
}

// The caption of the label that names each control, the first label in the window's order whose
// buddy it is: one walk over the labels, not one per control.
using LabelCaptions = QHash<const QWidget*, QString>;

LabelCaptions labelCaptions(const QWidget* window) {
    LabelCaptions captions;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (const QWidget* buddy = label->buddy(); buddy && !captions.contains(buddy))
            captions.insert(buddy, label->text());
    }
    return captions;
}

void describe(QWidget* control, const LabelCaptions& labels) {
    if (qobject_cast<QLabel*>(control))
        return;
    if (control->accessibleDescription().isEmpty() && !control->toolTip().isEmpty())
        control->setAccessibleDescription(control->toolTip());
    if (!control->accessibleName().isEmpty())
        return;
    for (const QString& source : {captionOf(control), labels.value(control), control->toolTip()}) {
        if (const QString name = spokenCaption(source); !name.isEmpty()) {
            control->setAccessibleName(name);
            return;
        }
    }
}

bool isOpening(QChar c) {
    return c == u'(' || c == u'（';
}

bool isClosing(QChar c) {
    return c == u')' || c == u'）';
}

class DescribeOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow()) {
                giveTransientParent(widget);
                askForFixedFrame(widget);
                describeForAccessibility(widget);
            }
        }
        return false;
    }
};

} // namespace

// A scan, not a regular expression: the first window's descriptions are made before it appears,
// and compiling the expression took most of their time.
QString withoutBracketedAccelerators(const QString& caption) {
    QString kept;
    kept.reserve(caption.size());
    const qsizetype size = caption.size();
    for (qsizetype at = 0; at < size;) {
        if (isOpening(caption[at]) && at + 2 < size && caption[at + 1] == u'&' &&
            caption[at + 2] != u'\n') {
            const qsizetype key = at + 2;
            const bool pair = caption[key].isHighSurrogate() && key + 1 < size &&
                              caption[key + 1].isLowSurrogate();
            const qsizetype close = key + (pair ? 2 : 1);
            if (close < size && isClosing(caption[close])) {
                at = close + 1;
                continue;
            }
        }
        kept += caption[at++];
    }
    return kept;
}

QString spokenCaption(const QString& caption) {
    QString spoken = withoutBracketedAccelerators(caption);
    spoken.replace(u"&&"_s, u"\x01"_s).remove(u'&').replace(u'\x01', u'&');
    spoken = spoken.trimmed();
    for (const QString& tail : {u"..."_s, u"…"_s, u":"_s, u"："_s}) {
        if (spoken.endsWith(tail))
            spoken.chop(tail.size());
    }
    return spoken.trimmed();
}

void describeControl(QWidget* control, const QString& description, const QString& name) {
    control->setAccessibleDescription(description);
    if (!name.isEmpty())
        control->setAccessibleName(name);
}

void describeForAccessibility(QWidget* window) {
    const LabelCaptions labels = labelCaptions(window);
    describe(window, labels);
    for (QWidget* control : window->findChildren<QWidget*>())
        describe(control, labels);
}

void describeWindowsWhenShown() {
    static DescribeOnShow* filter = [] {
        auto* made = new DescribeOnShow(qApp);
        qApp->installEventFilter(made);
        return made;
    }();
    Q_UNUSED(filter);
}

} // namespace morvex
