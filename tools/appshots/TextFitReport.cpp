#include "tools/appshots/TextFitReport.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "services/SLocale.h"
#include "ui/STextFitMonitor.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

namespace {

// Tabs and line breaks of a text would split its report line.
std::string OneField(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

void ReportTextFit(SWindowFrame& frame, const std::string& shot) {
    const char* path = std::getenv("AURALIS_TEXT_FIT_REPORT");
    SWindowBase* root = frame.GetAgent().GetRoot();
    if (path == nullptr || *path == '\0' || root == nullptr) {
        return;
    }
    std::vector<STextFitProblem> problems;
    STextFitMonitor::SetListener(
        [&problems](const STextFitProblem& problem) { problems.push_back(problem); });
    root->Repaint();
    STextFitMonitor::SetListener({});
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        std::fprintf(stderr, "auralis-appshots: cannot append to %s\n", path);
        return;
    }
    const std::string language = AfxGetLocale()->GetLanguage();
    for (const STextFitProblem& problem : problems) {
        std::fprintf(file, "%s\t%s\t%s\t%s\t%s\n", language.c_str(), shot.c_str(),
                     OneField(problem.widget).c_str(), problem.what.c_str(),
                     OneField(problem.text).c_str());
    }
    std::fclose(file);
}
