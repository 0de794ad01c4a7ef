#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// How the main window fits the screens it is on: its minimum and starting size never exceed
// the screen's available area, and a remembered placement comes back only on a screen that
// is still there.
namespace windowfit {

// `wanted` shrunk, in each direction separately, to what `available` holds (never below 1).
QSize boundedBy(QSize wanted, QSize available);

// A screen by its name and its available area (without panels and docks).
struct ScreenArea
{
    QString name;
    QRect available;
};

// What is remembered of the window: the screen it was on and its normal geometry.
struct Placement
{
    QString screen;
    QRect geometry;
};

// Where a remembered window goes: on its screen when a screen of that name still exists and
// holds the window's centre, its size bounded by that screen's available area and moved
// inside it. Nothing otherwise (the window then starts as on a first start).
std::optional<QRect> restoredGeometry(const Placement& saved, const QList<ScreenArea>& screens);

} // namespace windowfit
