#pragma once
#include <functional>
#include <utility>
#include <vector>

#include "platform/Desktop.h"

namespace tarnwick {

// Records what the program showed and started.
class MemoryDesktop : public Desktop {
  public:
    void ShowErrorBox(const RunTimeError& e) override { errorBoxes.push_back(e); }
    void Launch(TextView commandLine, int showState) override {
        launches.push_back({Text(commandLine), showState});
    }
    // The save dialog plays back the answers it is given: a path, or nothing (no file
    // chosen, with dialogError as the reason).
    std::optional<Text> ShowSaveDialog(const SaveRequest& request) override {
        requests.push_back(request);
        if (whileDialogOpen) whileDialogOpen();
        std::optional<Text> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.erase(answers.begin());
        }
        return answer;
    }
    uint32_t SaveDialogError() override { return dialogError; }
    void Beep() override { ++beeps; }

    std::vector<RunTimeError> errorBoxes;
    std::vector<std::pair<Text, int>> launches;
    std::vector<std::optional<Text>> answers;
    std::vector<SaveRequest> requests;
    uint32_t dialogError = 0;
    int beeps = 0;
    std::function<void()> whileDialogOpen;
};

}  // namespace tarnwick
