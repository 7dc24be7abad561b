#include "ui/SGUIApp.h"

#include <atomic>

#include "platform/TickCount.h"
#include "ui/SAnimationDriver.h"
#include "ui/SFontTable.h"
#include "ui/SToolTipWindow.h"
#include "ui/SWindowFrame.h"

namespace {
std::atomic<SGUIApp*> g_app{nullptr};
}

SGUIApp::SGUIApp(platform::window::Backend& backend) : m_backend(backend), m_dispatcher(backend) {
    m_dispatcher.SetHost(this);
    m_dispatcher.SetAnimationDriver(&SAnimationDriver::Instance());
    g_app = this;
}

SGUIApp::~SGUIApp() {
    // The tooltip window is a frame of this application's dispatcher.
    SToolTipWindow::Uninstall();
    m_dispatcher.SetHost(nullptr);
    SGUIApp* self = this;
    g_app.compare_exchange_strong(self, nullptr);
}

SGUIApp* SGUIApp::GetApp() {
    return g_app.load();
}

int SGUIApp::InitInstance() {
    SToolTipWindow::Install();
    return 1;
}

int SGUIApp::Run() {
    m_dispatcher.SetUiThread();
    m_dispatcher.running = 1;
    m_dispatcher.SetLastFrameTick(platform::tickCount());
    m_dispatcher.Run(nullptr);
    m_dispatcher.ClearUiThread();
    m_dispatcher.running = 0;
    return ExitInstance();
}

int SGUIApp::ExitInstance() {
    return 0;
}

void SGUIApp::SetLanguage(const std::string& localeTag) {
    SFontTable::Instance().SetLanguage(localeTag);
}

bool SGUIApp::IsRightToLeft() {
    return SFontTable::Instance().IsRightToLeft();
}

void SGUIApp::SetMainFrame(SWindowFrame* frame) {
    if (m_mainFrame != nullptr && m_mainFrame != frame) {
        m_mainFrame->SetQuitOnDestroy(false);
    }
    m_mainFrame = frame;
    if (frame != nullptr) {
        frame->SetQuitOnDestroy(true);
    }
}

int SGUIApp::PreTranslateMessage(const platform::window::WindowEvent&) {
    return 0;
}

int SGUIApp::OnIdle(int) {
    return 0;
}
