#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Utilities of the common-services layer: the per-user folders, file and version helpers, the
// network check, size texts and the update client's command-line values. All functions are
// stateless and safe to call from any thread. Texts are UTF-8.
class SUtil {
public:
    // The user folder ($AURALIS_CONFIG_DIR, else $XDG_CONFIG_HOME/AuralisManager) and the
    // temporary folder for downloads ($AURALIS_TEMP_DIR, else
    // $XDG_CACHE_HOME/AuralisManager/tmp), created with mode 0700 when missing. No trailing
    // separator. Empty when the folder cannot be created.
    static std::string GetUserFolder();
    static std::string GetUserTempFolder();

    // True when something exists at path (a file, a folder, or whatever a link points to).
    static bool FileExist(const std::string& path);

    // > 0 when a is newer than b, 0 when equal, < 0 when older.
    // Versions are split at '.'; a missing part counts as 0, so "1.0" equals "1.0.0". Each part
    // is compared in runs: runs of digits as numbers of any length ("10" > "9", "007" == "7"),
    // runs of other characters as text, ignoring letter case ("V10C" > "V10B"); a part whose runs
    // are all equal but that has more of them is newer ("1.0a" > "1.0"). Where a digit run meets
    // a text run the digit run is newer ("1.1" > "1.beta"). Surrounding blanks are ignored; an
    // empty version is older than any other.
    static int CompareVersion(const std::string& a, const std::string& b);

    // The number of parts text has when split at ch: 0 for an empty text, 1 when ch does not
    // occur; empty parts count ("a..b" has 3).
    static int GetTokenCount(const std::string& text, char ch);

    // Non-zero when a network interface other than loopback is up and has an address.
    // AURALIS_OFFLINE=1 forces 0, AURALIS_OFFLINE=0 forces 1.
    static int IsNetWorkConnectionCheck();

    // A size for people: "512 B", "820 KB", "1.5 MB", "12 MB", "2.3 GB" (units of 1024; one
    // decimal below 10, none from 10 on, a trailing ".0" dropped).
    static std::string GetStringSizeFromByte(std::uint64_t bytes);
    static void GetStringSizeFromByte(std::uint64_t bytes, std::string& out);
    static std::string GetFileLengthString(double bytes);

    // An 8-bit copy of a text. Texts are UTF-8 throughout, so this is a plain copy; it exists so
    // the callers read as documented and own what they pass on.
    static std::string CStringToChar(const std::string& text);

    // The value that follows a switch such as "/v" or "/u" on a command line:
    //   /v "1.2.0" /u "https://example.invalid/a b.bin"  → "1.2.0" and "https://…/a b.bin"
    // Double quotes group and are removed, blanks inside quotes are kept; "/v\"1.2\"" (value
    // glued to the switch by a quote) works too. The switch is matched without regard to case.
    // Empty when the switch is absent, is the last word, or is followed by another unquoted
    // switch.
    static std::string GetArgvValue(const std::string& cmdline, const std::string& key);
    // The same over arguments that the system already split (argv without the program name).
    static std::string GetArgvValue(const std::vector<std::string>& args, const std::string& key);
};
