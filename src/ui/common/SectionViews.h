#pragma once

#include "store/AppSection.h"

class BridgeStore;
class QWidget;

// Builds the view of one section, anew each time the section is shown (its local state,
// such as a draft or a filter, starts fresh).
QWidget* createSectionView(AppSection section, BridgeStore& store, QWidget* parent);
