#pragma once

#include "ui/settings/logic/StatusTint.h"

#include <QColor>

// The colour of a status tint role in razo's light palette.
QColor statusTintColor(StatusTint tint);
