#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ctl {

// The whole program without main(): parses args (without the program name), runs the command
// and returns the exit status (0 success, 1 failure, 2 bad usage). outIsTerminal: out is a
// terminal, so progress is drawn as a bar.
int runCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool outIsTerminal = false);

}  // namespace ctl
