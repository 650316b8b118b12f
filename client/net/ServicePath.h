// Learns the account service's path segment from the title of the public profile page.
#pragma once

#include "TextOps.h"

#include <string>

namespace kestrova::net {

// The segment cut from the page text: after the last title start marker, before the first end
// marker built from the profile number and domain.
Text servicePathFromPage(std::string_view pageText, const std::string& profileNumber,
                         const std::string& profileDomain);

// Fetches the profile page (deployment's profile base URL + number) and cuts the segment out of
// its title. Empty when nothing usable came back.
Text lookUpServicePath(const std::string& profileNumber);

} // namespace kestrova::net
