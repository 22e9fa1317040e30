#include "gui/Accessibility.h"

#include "gui/DesignedWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QRegularExpression>
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

QString spokenCaption(const QString& caption) {
    static const QRegularExpression accelerator(u"[(（]&.[)）]"_s);
    QString spoken = caption;
    spoken.remove(accelerator);
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
