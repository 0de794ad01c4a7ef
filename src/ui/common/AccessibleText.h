#pragma once

// razo's custom-painted text widgets (IconLabel, ElidedLabel, GradientLabel, StatusPill,
// MetricCard) and the status footer have no stock accessible interface; this factory gives
// them one: static text carrying the accessible name, the footer a status bar. Installing
// it more than once does nothing.
namespace accessibility {

void installFactory();

} // namespace accessibility
