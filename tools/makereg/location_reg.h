#pragma once
// A location's location.reg: the REGEDIT4 file that installs its REGCODE.
// The settings rules and the encoder are the program's own (config/settings_rules.h).
#include <string>

namespace quendrel::makereg {

// The complete location.reg text, lines ending in CR LF.
std::string LocationRegFile(const std::string& regCode);

}  // namespace quendrel::makereg
