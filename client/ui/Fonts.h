// The Windows font families the designs name (楷体, 宋体) mapped onto Debian's AR PL faces, so
// every Chinese text renders.
#pragma once

#include <string>

namespace kestrova::ui {

// Points fontconfig at the client's alias file (for the browser views) unless FONTCONFIG_FILE is
// already set. Runs before the application object is created.
void prepareFontConfig();
// The alias file in use, or empty when none was found.
std::string fontConfigFile();
// Registers the families as substitutes in Qt and makes 宋体 at 12 pixels the program's font.
void installFontFallbacks();

} // namespace kestrova::ui
