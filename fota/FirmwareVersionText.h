#pragma once

#include <string>

// The rules by which the update flow reads firmware version texts. Versions are compared as
// text, character by character (ordinal order of the Unicode code points; UTF-8 bytes compared
// as unsigned give the same order), not as numbers: "V10C" is newer than "V10B", but "V10" is
// not newer than "V9". Both texts pass through the same normalisation first.
namespace fota {

// The normalisation applied to both texts before a comparison: blanks (space, tab, line ends)
// removed at both ends. Letter case is kept.
std::string normalisedVersion(const std::string& version);

// latest compares greater than current after normalisation.
bool isNewerVersion(const std::string& latest, const std::string& current);

// The earbuds' current version from the two buds' reports: left when it is not empty and
// compares lower than right, otherwise right; and left when right is empty (a bud that has not
// reported yet must not hide the other's version).
std::string currentVersionOf(const std::string& left, const std::string& right);

}  // namespace fota
