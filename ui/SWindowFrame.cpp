#include "ui/SWindowFrame.h"

#include "base/Log.h"
#include "platform/window/Keys.h"
#include "ui/ICommandDelegate.h"
#include "ui/SDispatcher.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowBaseFinderFrame.h"

using platform::window::HitCode;
using platform::window::WindowEvent;

namespace {

unsigned ToAcceleratorModifiers(uint32_t modifiers) {
    unsigned flags = 0;
    if ((modifiers & platform::window::kModShift) != 0) {
        flags |= FSHIFT;
    }
    if ((modifiers & platform::window::kModControl) != 0) {
        flags |= FCONTROL;
    }
    if ((modifiers & platform::window::kModAlt) != 0) {
        flags |= FALT;
    }
    return flags;
}

HitCode ToPlatformHitCode(int code) {
    switch (code) {
        case SWindowAgent::HTCAPTION:
            return HitCode::Caption;
        case SWindowAgent::HTLEFT:
            return HitCode::ResizeLeft;
        case SWindowAgent::HTRIGHT:
            return HitCode::ResizeRight;
        case SWindowAgent::HTTOP:
            return HitCode::ResizeTop;
        case SWindowAgent::HTTOPLEFT:
            return HitCode::ResizeTopLeft;
        case SWindowAgent::HTTOPRIGHT:
            return HitCode::ResizeTopRight;
        case SWindowAgent::HTBOTTOM:
            return HitCode::ResizeBottom;
        case SWindowAgent::HTBOTTOMLEFT:
            return HitCode::ResizeBottomLeft;
        case SWindowAgent::HTBOTTOMRIGHT:
            return HitCode::ResizeBottomRight;
        default:
            return HitCode::Normal;
    }
}

}  // namespace

SWindowFrame::SWindowFrame() : agent(this) {}

SWindowFrame::~SWindowFrame() {
    if (m_window) {
        Destroy();
    }
}

int SWindowFrame::Create(const SFrameOptions& options) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr) {
        _Log(LOG_WARNING, "SWindowFrame::Create", __LINE__, "no dispatcher: create SGUIApp first");
        return 0;
    }
    if (m_window) {
        return 1;
    }
    platform::window::WindowOptions native;
    native.title = options.title;
    native.rect = platform::window::Rect{
        static_cast<int>(options.rect.left), static_cast<int>(options.rect.top),
        static_cast<int>(options.rect.Width()), static_cast<int>(options.rect.Height())};
    native.centered = options.centered;
    native.style = options.style;
    if (options.owner != nullptr) {
        native.owner = options.owner->GetWindow();
    }
    m_window = dispatcher->GetBackend().createWindow(native);
    if (!m_window) {
        return 0;
    }
    owner = options.owner;
    m_title = options.title;
    m_window->setListener(this);
    m_systemDrag = m_window->enableHitTest();
    dispatcher->RegisterFrame(this);
    agent.Init(plainWindow == 0 ? 1 : 0);
    if ((options.style & platform::window::kStyleTranslucent) != 0) {
        agent.SetTranslucent();
    }
    agent.resizable = (options.style & platform::window::kStyleResizable) != 0 ? 1 : 0;
    // With the inspector switch, every frame of an inspected owner chain reports its hover.
    SWindowBaseFinderFrame::FrameCreated(*this);
    if (OnCreate() < 0) {
        Destroy();
        return 0;
    }
    const platform::window::Rect rect = m_window->screenRect();
    HandleResize(rect.width, rect.height);
    return 1;
}

void SWindowFrame::Destroy() {
    if (!m_window) {
        return;
    }
    OnDestroy();
    // The inspector lets go of this frame (and goes with it when this is its top frame)
    // before the tree it points into is taken down.
    SWindowBaseFinderFrame::FrameDestroyed(*this);
    agent.OnDestroy();
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->UnregisterFrame(this);
        dispatcher->ForgetAgent(&agent);
        if (m_quitOnDestroy) {
            dispatcher->Quit();
        }
    }
    if (m_modalRunning) {
        modalLoop.Exit();
    }
    m_window.reset();
}

void SWindowFrame::Show() {
    if (m_window) {
        m_window->show();
    }
}

void SWindowFrame::Hide() {
    if (m_window) {
        m_window->hide();
    }
}

void SWindowFrame::MoveWindow(int x, int y) {
    if (m_window) {
        m_window->move(x, y);
    }
}

void SWindowFrame::SetClientSize(int width, int height) {
    if (m_window) {
        m_window->resize(width, height);
    }
}

void SWindowFrame::EnableWindow(bool enabled) {
    if (m_window) {
        m_window->setEnabled(enabled);
    }
}

void SWindowFrame::PostClose() {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || !m_window) {
        return;
    }
    WindowEvent event;
    event.type = WindowEvent::Type::CloseRequested;
    event.window = m_window->id();
    dispatcher->GetBackend().post(std::move(event));
}

int SWindowFrame::DoModal(const SFrameOptions& options) {
    if (!m_window && Create(options) == 0) {
        return 0;
    }
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    SWindowFrame* modalOwner = options.owner != nullptr ? options.owner : owner;
    modalLoop.Reset();
    Show();
    // Window managers differ in whether a new window gets the keyboard; a modal window always
    // needs it, or Escape and Return would go to the owner it blocks.
    m_window->takeFocus();
    if (modalOwner != nullptr) {
        modalOwner->EnableWindow(false);
        modalOwner->m_modalChild = this;
        modalOwner->OnModalState(1);
    }
    m_modalRunning = true;
    dispatcher->Run(&modalLoop);
    m_modalRunning = false;
    if (modalOwner != nullptr) {
        modalOwner->EnableWindow(true);
        modalOwner->m_modalChild = nullptr;
        modalOwner->OnModalState(0);
        // The keyboard goes back to the window the dialog belonged to.
        if (modalOwner->m_window) {
            modalOwner->m_window->takeFocus();
        }
    }
    Destroy();
    return 1;
}

void SWindowFrame::EndModal() {
    modalLoop.Exit();
}

void SWindowFrame::OnClose() {
    if (m_modalRunning) {
        EndModal();
        return;
    }
    Destroy();
}

void SWindowFrame::OnUserMessage(int code, intptr_t param) {
    if (code != ICommandDelegate::kCommandMessage) {
        return;
    }
    for (ICommandDelegate* delegate : commandDelegates) {
        if (delegate->OnCommand(static_cast<int>(param)) != 0) {
            return;
        }
    }
}

void SWindowFrame::UpdateZoom() {
    if (zoomMode == 0) {
        zoom = 1.0;
    } else if (designSize.width > 0 && designSize.height > 0) {
        zoom = std::max(clientSize.width / designSize.width, clientSize.height / designSize.height);
    } else {
        zoom = SDispatcher::GetZoomFactor();
    }
    if (!(zoom > 0)) {
        zoom = 1.0;
    }
    logicalSize = SSize(clientSize.width / zoom, clientSize.height / zoom);
}

void SWindowFrame::SetRightToLeft(int value) {
    rightToLeft = value;
    if (m_window) {
        HandleResize(static_cast<int>(clientSize.width), static_cast<int>(clientSize.height));
    }
}

void SWindowFrame::HandleResize(int width, int height) {
    clientSize = SSize(width, height);
    UpdateZoom();
    agent.OnSize(width, height);
}

int SWindowFrame::PreTranslateKey(const SKeyMessage& message) {
    return TranslateAccelerator(message);
}

int SWindowFrame::TranslateAccelerator(const SKeyMessage& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) {
        return 0;
    }
    constexpr unsigned kModifierMask = FSHIFT | FCONTROL | FALT;
    for (const SAccelerator& accelerator : accelerators) {
        if (accelerator.key != message.key ||
            (accelerator.fVirt & kModifierMask) != (message.modifiers & kModifierMask)) {
            continue;
        }
        for (ICommandDelegate* delegate : commandDelegates) {
            if (delegate->OnCommand(accelerator.command) != 0) {
                return 1;
            }
        }
    }
    return 0;
}

void SWindowFrame::HandleKey(const WindowEvent& event) {
    SKeyMessage message;
    message.key = event.key;
    message.modifiers = ToAcceleratorModifiers(event.modifiers);
    message.flags = event.repeat ? 1 : 0;
    switch (event.type) {
        case WindowEvent::Type::KeyDown:
            message.message = event.system ? WM_SYSKEYDOWN : WM_KEYDOWN;
            break;
        case WindowEvent::Type::KeyUp:
            message.message = event.system ? WM_SYSKEYUP : WM_KEYUP;
            break;
        default:
            message.message = WM_CHAR;
            message.text = event.text;
            break;
    }
    if (InterceptKey(message) != 0) {
        return;
    }
    if (agent.OnKey(message) == 0) {
        PreTranslateKey(message);
    }
}

void SWindowFrame::onWindowEvent(const WindowEvent& event) {
    using T = WindowEvent::Type;
    switch (event.type) {
        case T::MouseMove:
            agent.OnMouseMove(event.x, event.y, event.modifiers);
            break;
        case T::MouseLeave:
            agent.OnMouseLeave();
            break;
        case T::ButtonDown:
            agent.OnButtonDown(event.button, event.x, event.y, event.modifiers, event.clicks);
            break;
        case T::ButtonUp:
            agent.OnButtonUp(event.button, event.x, event.y, event.modifiers);
            break;
        case T::Wheel:
            agent.OnWheel(event.x, event.y, event.wheelDelta, event.modifiers);
            break;
        case T::KeyDown:
        case T::KeyUp:
        case T::TextInput:
            HandleKey(event);
            break;
        case T::Timer:
            agent.OnTimer(event.timerId);
            break;
        case T::Resized:
            HandleResize(event.width, event.height);
            break;
        case T::Moved:
        case T::Shown:
            agent.OnShowOrMove();
            break;
        case T::Exposed:
            agent.OnExpose();
            break;
        case T::CloseRequested:
            OnClose();
            break;
        case T::FocusGained:
            agent.OnActivate(1);
            break;
        case T::FocusLost:
            agent.OnActivate(0);
            break;
        case T::InputRefused:
            if (m_modalChild != nullptr && m_modalChild->m_window) {
                m_modalChild->m_window->raise();
            }
            break;
        case T::DropBegin:
            m_droppedFiles.clear();
            break;
        case T::DropFile:
            m_droppedFiles.push_back(event.text);
            break;
        case T::DropComplete:
            agent.OnDropFiles(m_droppedFiles, event.x, event.y);
            m_droppedFiles.clear();
            break;
        case T::User:
            OnUserMessage(event.code, event.param);
            break;
        default:
            break;
    }
}

HitCode SWindowFrame::onHitTest(platform::window::Point client) {
    int code = agent.NcHitTest(client.x, client.y);
    // Where the window manager can move windows, a press on a drag handle is handed to it:
    // programs cannot place windows everywhere (Wayland) and moves stay smooth. Elsewhere the
    // press reaches the widget and the agent moves the window with the pointer.
    if (code == SWindowAgent::HTCLIENT && m_systemDrag &&
        agent.IsDragHandleAt(client.x, client.y)) {
        code = SWindowAgent::HTCAPTION;
    }
    return ToPlatformHitCode(code);
}
