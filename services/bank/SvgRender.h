// SVG to PNG with librsvg and cairo, for the question pictures.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::services {

// Renders the drawing scaled to fit maxWidth × maxHeight (aspect kept) on white. nullopt with a
// reason in error when the SVG cannot be read or drawn.
std::optional<std::string> renderSvgToPng(std::string_view svg, int maxWidth, int maxHeight,
                                          std::string& error);

} // namespace kestrova::services
