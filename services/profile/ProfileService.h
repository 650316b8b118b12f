// The public profile page on profile.kestrova.test. Its title carries the account service's path
// segment between the markers the client cuts it with; the page is UTF-8.
#pragma once

#include "http/Http.h"

namespace kestrova::services {

class ProfileService
{
public:
    Response handle(const Request& request) const;
};

} // namespace kestrova::services
