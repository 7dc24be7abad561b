#pragma once

#include <string>
#include <vector>

namespace sim {

class Neighbourhood;
class UpdateServer;

// The scenario control of the neighbourhood socket: "CTL <verb> <arguments>" from tests and the
// demo. Each command answers "OK", "OK <json>" (INFO) or "ERR <text>". kHelp lists them all.
class CtlCommands {
public:
    static const char* const kHelp;

    // server may be null when the sim runs without its update server.
    CtlCommands(Neighbourhood& neighbourhood, UpdateServer* server);

    std::string execute(const std::string& words);

private:
    using Words = std::vector<std::string>;

    std::string add(const std::string& arguments);
    std::string remove(const Words& words);
    std::string radio(const Words& words);
    std::string range(const Words& words);
    std::string paired(const Words& words);
    std::string set(const Words& words);
    std::string battery(const Words& words);
    std::string wearing(const Words& words);
    std::string silent(const Words& words);
    std::string simple(const Words& words);
    std::string firmwareResult(const Words& words);
    std::string stall(const Words& words);
    std::string report(const Words& words);
    std::string info(const Words& words);
    std::string server(const Words& words);

    Neighbourhood& m_neighbourhood;
    UpdateServer* m_server;
};

}  // namespace sim
