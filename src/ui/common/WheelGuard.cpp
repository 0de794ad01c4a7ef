#include "ui/common/WheelGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace wheelguard {

namespace {

// One filter for every guarded control. An ignored wheel event goes on to the parents, so the
// scroll area around the control scrolls.
class Filter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        const auto* control = static_cast<QWidget*>(watched);
        if (control->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};

Filter* sharedFilter()
{
    static Filter* filter = new Filter(QCoreApplication::instance());
    return filter;
}

} // namespace

void ignoreWheelUnlessFocused(QWidget* control)
{
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(sharedFilter());
}

} // namespace wheelguard
