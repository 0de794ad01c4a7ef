#pragma once

class QWidget;

// Pickers and spin boxes on a scrolled page change only on purpose: a wheel turned over one
// that has no keyboard focus scrolls the page instead of changing its value. The control
// takes focus by tab or click only (Qt::StrongFocus), never by the wheel.
namespace wheelguard {

void ignoreWheelUnlessFocused(QWidget* control);

} // namespace wheelguard
