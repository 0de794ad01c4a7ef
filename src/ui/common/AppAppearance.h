#pragma once

class QApplication;

// razo's application-wide look: the light palette whatever the system uses, the Fusion
// style under the custom-painted components, the text font families (Simplified Chinese
// glyph forms) and the window icon.
namespace appearance {

void apply(QApplication& app);

} // namespace appearance
