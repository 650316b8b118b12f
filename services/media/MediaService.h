// The media hosts of the stack, told apart by the request's host (deployment::stack):
//
//   music host (port 8888 or the main port)
//     /DJbox2010_YY.swf     a small GBK player page that loops the Kestrova theme
//     /kestrova-theme.wav   the theme: our own score (assets/music/theme.score), synthesised at start
//   image host
//     /wallpaper.jpg        an 800 x 600 JPEG rendered from assets/wallpaper/wallpaper.svg at build time
//   maker's site
//     /                     home page
//     /JC.htm               the tutorial of the client, in Chinese
//
// Every page is GBK HTML. Other paths and hosts answer 404 with a page that says so; methods other
// than GET and HEAD answer 405.
#pragma once

#include "http/Http.h"

#include <string>
#include <string_view>

namespace kestrova::services {

class MediaService
{
public:
    static constexpr std::string_view kThemePath = "/kestrova-theme.wav";
    static constexpr int kThemeSampleRate = 22050;

    // Builds the pages and renders the theme (once per process, shared by every instance).
    MediaService();

    // Reads only what the constructor built; safe from many threads.
    Response handle(const Request& request) const;

private:
    Response music(const Request& request) const;
    Response image(const Request& request) const;
    Response site(const Request& request) const;

    std::string m_playerPage;   // GBK
    std::string m_homePage;     // GBK
    std::string m_tutorialPage; // GBK
    std::string m_pageError;    // UTF-8; set when a page could not be converted to GBK
};

} // namespace kestrova::services
