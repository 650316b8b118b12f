// Assets built into the media service: each is the whole content of a file, generated into a
// source at build time (see CMakeLists.txt).
#pragma once

#include <string_view>

namespace kestrova::services::media::assets {

extern const std::string_view kWallpaperJpeg; // assets/wallpaper/wallpaper.svg rendered to 800 x 600 JPEG
extern const std::string_view kThemeScore;    // assets/music/theme.score
extern const std::string_view kHomePage;      // assets/site/index.htm (UTF-8)
extern const std::string_view kTutorialPage;  // assets/site/JC.htm (UTF-8)

} // namespace kestrova::services::media::assets
