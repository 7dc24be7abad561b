#include "app/SStartUp.h"

#include "app/IStartUpHost.h"
#include "app/SUpdater.h"
#include "base/Log.h"
#include "platform/Thread.h"

void SStartUp::AddWork(uint32_t workType) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_work.push_back(workType);
}

std::size_t SStartUp::GetWorkCount() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_work.size();
}

void SStartUp::doWork() {
    uint32_t workType = WT_NEXTWORK;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        const std::size_t index = m_index.load();
        if (index < m_work.size()) {
            workType = m_work[index];
        }
    }
    if (workType == WT_NEXTWORK) {
        _Log(LOG_INFO, "SStartUp::doWork", __LINE__, "WT_NEXTWORK return");
        return;
    }
    m_startedThreads.fetch_add(1);
    std::shared_ptr<IStartUpHost> host = m_host;
    platform::startDetachedThread("startup-work",
                                  [host, workType] { doWorkThread(*host, workType); });
}

void SStartUp::doNextWork() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_index.load() + 1 >= m_work.size()) {
            return;
        }
        m_index.fetch_add(1);
    }
    doWork();
}

void SStartUp::doWorkThread(IStartUpHost& host, uint32_t workType) {
    switch (workType) {
        case WT_CHECK_APP_UPDATE: {
            _Log(LOG_INFO, "doWorkThread", __LINE__, "Start checking application update");
            // The server query blocks this worker, never the UI thread; the dialogs that may
            // follow run on the UI thread once the check is handed over.
            std::shared_ptr<SUpdater> updater = host.CreateUpdateCheck();
            if (updater) {
                updater->SetAutomatic(1);
                updater->SetState(updater->Run(SUpdater::kQuery - 1));
                host.HandOverUpdateCheck(std::move(updater));
            }
            host.PostStartUpMessage(IStartUpHost::kNextWork);
            break;
        }
        case WT_SKIP:
            host.PostStartUpMessage(IStartUpHost::kNextWork);
            break;
        case WT_ASK_UI:
            if (host.StartUpWindowExists() && host.SendStartUpMessage(IStartUpHost::kAskUi) != 1) {
                host.PostStartUpMessage(IStartUpHost::kNextWork);
            }
            break;
        default:
            break;
    }
}
