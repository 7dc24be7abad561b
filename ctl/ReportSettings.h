#pragma once

#include <string>

namespace ctl {

// The settings file (setting.xml) as it goes into a report: every section and key stays, but
// the value of a key whose name speaks of a secret (password, token, secret, key, auth,
// credential) becomes "(removed)", web addresses lose any user name, password, query and
// fragment, and the home folder is written "~".
std::string reportSettings(const std::string& xml, const std::string& home);

}  // namespace ctl
