#pragma once

#include <string>
#include <vector>

// The program's command line, recorded once by main() so the toolkit can consult it later
// (the widget inspector switch is looked for when every frame is created).
//
// Only the arguments after the program's own path are kept: a path is not something the user
// typed as a switch, and on this platform an install folder could itself contain "/name".
// Any thread may read; main() sets it before other threads start.
class SCommandLine {
public:
    // Records argv[1..argc-1]; argv[0] (the program) is left out.
    static void Set(int argc, const char* const* argv);
    // Records the given arguments as they are (tests, programs that build their own list).
    static void SetArguments(std::vector<std::string> arguments);
    static std::vector<std::string> GetArguments();
    // Whether `text` occurs anywhere inside any one argument (plain, case-sensitive substring
    // search: "--x/windowbasefinder" matches "/windowbasefinder"). Empty text never matches.
    static bool Contains(const std::string& text);
    // Whether one argument is exactly `argument` ("-v", "--help").
    static bool Has(const std::string& argument);
};
