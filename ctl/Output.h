#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace ctl {

// JSON objects keep their keys in the order they were written, the order the documentation
// lists them.
using Json = nlohmann::ordered_json;

// Where a command's results and complaints go: text for people by default, one JSON object per
// line with --json. Complaints always go to stderr as "auralis-ctl: ...".
class Output {
public:
    Output(std::ostream& out, std::ostream& err, bool json)
        : m_out(out), m_err(err), m_json(json) {}

    bool json() const { return m_json; }
    // stdout is a terminal: progress may be drawn in place.
    bool terminal() const { return m_terminal; }
    void setTerminal(bool terminal) { m_terminal = terminal; }

    // One line of text (text mode only).
    void line(const std::string& text);
    // One JSON object on a line of its own (JSON mode only).
    void object(const Json& value);
    // An error or warning on stderr, in both modes. With --json an error's text also goes into
    // the next object written (as "error"), unless that object names one of its own.
    void error(const std::string& text);
    void warning(const std::string& text);

    // Called once the command has ended with exitCode: with --json, a failed command whose last
    // object did not carry an "error" ends with {"error": the last error's text}, so a script
    // reading the last line always learns what went wrong.
    void endCommand(int exitCode);

    std::ostream& out() { return m_out; }
    std::ostream& err() { return m_err; }

    static std::string hex32(uint32_t value);

private:
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json;
    bool m_terminal = false;
    // The last error's text, until an object carries it.
    std::string m_pendingError;
    std::string m_lastError;
    bool m_lastObjectHadError = false;
};

}  // namespace ctl
