#pragma once

#include <functional>
#include <string>
#include <vector>

class SWindowFrame;

// The application update check: asks the update server for the newest version, compares it
// with this build's, tells the main window whether a newer one exists (message 0x0DC4, the mark
// on the about menu entry), and, when the user agrees, starts the update client and closes the
// main window. A small state machine: Run(step) runs state step + 1 and returns the next state;
// 0 and 1 stop.
//
//   1  query and compare                    → 0, 2 or 6
//   2  "you have the latest version"        → 0
//   3  the question (update / cancel)       → 8 or 0
//   6  go on to the question when the settings have the "Update" section → 3 or 0
//   8  start the update client, close the main window → 0
//
// Automatic (start-up): state 1 runs on the start-up worker, the rest on the UI thread after
// the hand-over. User-requested: every state on the UI thread. One thread at a time uses it.
class SUpdater {
public:
    enum State : int {
        kStop = 0,
        kQuery = 1,
        kLatest = 2,
        kQuestion = 3,
        kSection = 6,
        kStartClient = 8,
    };

    // Delivers the update-available mark to the main window (1 newer version, 0 none).
    using MarkSender = std::function<void(int)>;
    // Starts a program with its arguments; false when it could not be started.
    using Launcher = std::function<bool(const std::string&, const std::vector<std::string>&)>;

    static constexpr const char* kClientName = "AuralisManagerUpdateClient";

    SUpdater(SWindowFrame* owner, int automatic, int singlePopup, int userRequested,
             MarkSender markSender);

    int Run(int step);
    // Runs the states from the stored one until it is 0 or 1; a state outside 1..9 stops.
    void RunStates();
    int GetState() const { return m_state; }
    void SetState(int state) { m_state = state; }
    void SetAutomatic(int automatic) { m_automatic = automatic; }

    const std::string& GetVersion() const { return m_version; }
    const std::string& GetUrl() const { return m_url; }

    // The update client's path and arguments for a version and download address.
    static std::string ClientPath();
    static std::vector<std::string> ClientArguments(const std::string& version,
                                                    const std::string& url);
    // Replaces how the update client is started (tests); an empty launcher restores spawning.
    static void SetLauncher(Launcher launcher);

private:
    int QueryAndCompare();
    int ShowLatestVersion();
    int CheckUpdateSection();
    int AskToUpdate();
    int StartUpdateClient();
    void SendMark(int available);
    void EnableOwner();

    SWindowFrame* m_owner;
    std::string m_version;
    std::string m_url;
    int m_automatic;
    int m_state = kQuery;
    int m_singlePopup;
    int m_userRequested;
    bool m_answered = false;
    MarkSender m_markSender;
};
