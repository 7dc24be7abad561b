#pragma once

#include <cstdint>
#include <string>

// The per-user values of the common-services layer: the user's language, where the program is
// installed and which version it is, and the flags that persist between runs.
//
// The flags live in "flags.json" in the user folder (SUtil::GetUserFolder), a JSON object
// rewritten atomically on every change, so they survive a restart and a crash never leaves half
// a file. A missing or unreadable file gives the defaults: notify 1, firmware notify 0, firmware
// status 1, last firmware update 0, guest 0, multi-popup 1.
//
// All functions are safe to call from any thread.
class EnvironVar {
public:
    // The language as a culture name such as "ko-KR": $AURALIS_LANG when set, else the first
    // set one of LC_ALL, LC_MESSAGES and LANG, mapped like "ko_KR.UTF-8" → "ko-KR" (a bare
    // language such as "de" gets its usual region, "de-DE"; the withdrawn Hebrew code "iw" reads
    // as "he"); "C", "POSIX" or nothing → "en-US".
    static std::string GetLanguage();
    // The mapping on its own, for one locale value.
    static std::string LanguageFromLocale(const std::string& locale);

    // The folder of the running program, without a trailing separator.
    static std::string GetInstallPath();

    // The version of this build (AURALIS_VERSION) with every "_" read as "."; the environment
    // variable AURALIS_LOCAL_VERSION replaces it (for tests and demonstrations of the update).
    static std::string GetLocalVer();

    // Announce a newer application version (default 1).
    static int GetIsNotifyUpdate();
    static void SetIsNotifyUpdate(int value);

    // A newer firmware is known or the last transfer failed: the badge on the firmware button
    // (default 0).
    static int GetIsNotifyUpdateFW();
    static void SetIsNotifyUpdateFW(int value);

    // 1 = no failed firmware transfer pending, 0 = the last transfer failed (default 1).
    static int GetUpdateFWStatus();
    static void SetUpdateFWStatus(int value);

    // Time of the last successful firmware update in seconds since 1970; 0 = never.
    static std::uint32_t GetLastTimeUpdateFW();
    static void SetLastTimeUpdateFW(std::uint32_t seconds);
    // The same for one pair of earbuds by its address ("AA:BB:CC:DD:EE:FF"); 0 = never updated
    // here. Setting it also sets the time of the last update of any pair above.
    static std::uint32_t GetLastTimeUpdateFW(const std::string& address);
    static void SetLastTimeUpdateFW(const std::string& address, std::uint32_t seconds);

    // Offer firmware whatever the version (default 0).
    static int IsSupportGuest();
    static void SetSupportGuest(int value);

    // Several popups may be open at once (default 1).
    static int IsSupportMultiPopup();
    static void SetSupportMultiPopup(int value);

    // Reads the flags file again, as a new process would. The flags are otherwise read once, on
    // first use.
    static void Reload();
};
