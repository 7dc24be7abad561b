#pragma once

#include <string>

class SWindowFrame;

// When $AURALIS_TEXT_FIT_REPORT names a file, each shot's window is painted once more with the
// toolkit's text-fit checks on, and every text that did not fit is appended to that file as one
// line: language, shot, widget path, what happened and the text, separated by tabs. The
// layout-fit test reads it.
void ReportTextFit(SWindowFrame& frame, const std::string& shot);
