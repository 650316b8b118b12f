// The command line of kestrova-services: serve, user, news and bank commands.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova::services {

// Runs one command (arguments without the program name). Returns the exit status: 0 done,
// 1 failed, 2 wrong usage.
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, std::istream& in);

} // namespace kestrova::services
