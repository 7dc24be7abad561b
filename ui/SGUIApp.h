#pragma once

#include <string>

#include "platform/window/Backend.h"
#include "ui/IDispatcherHost.h"
#include "ui/SDispatcher.h"

class SWindowFrame;

// The application base of both programs: it owns the dispatcher (and with it the process zoom
// factor), runs the UI thread's loop and chooses fonts and the layout direction by language.
// Programs derive from it, build their main frame in InitInstance and call Run.
class SGUIApp : public IDispatcherHost {
public:
    explicit SGUIApp(platform::window::Backend& backend);
    ~SGUIApp() override;
    SGUIApp(const SGUIApp&) = delete;
    SGUIApp& operator=(const SGUIApp&) = delete;

    static SGUIApp* GetApp();

    // Returns 1 when the application can run.
    virtual int InitInstance();
    // Runs the loop until the quit message, then ExitInstance; returns its result.
    virtual int Run();
    virtual int ExitInstance();

    // Chooses the face of all fonts and the right-to-left flag for a locale tag ("ko-KR") and
    // rebuilds the font table.
    void SetLanguage(const std::string& localeTag);
    static bool IsRightToLeft();

    // The main frame ends the loop when it is destroyed.
    void SetMainFrame(SWindowFrame* frame);
    SWindowFrame* GetMainFrame() const { return m_mainFrame; }

    SDispatcher& GetDispatcher() { return m_dispatcher; }
    platform::window::Backend& GetBackend() { return m_backend; }

    // IDispatcherHost
    int PreTranslateMessage(const platform::window::WindowEvent& event) override;
    int OnIdle(int count) override;

protected:
    platform::window::Backend& m_backend;
    SDispatcher m_dispatcher;
    SWindowFrame* m_mainFrame = nullptr;
};
