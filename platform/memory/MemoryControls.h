#pragma once
// In-memory controls for the native build: they hold their state, raise notifications
// synchronously as the Win32 controls do, and let a test act as the user.
#include <functional>
#include <map>
#include <vector>

#include "platform/Controls.h"
#include "platform/TextStore.h"
#include "platform/memory/MemoryResultBox.h"

namespace tarnwick {

// Place and size; a move to a negative size fails and changes nothing.
template <class Base>
class MemoryControl : public Base {
  public:
    Rect GetRect() const override { return rect_; }
    void Move(Rect r) override {
        if (r.width < 0 || r.height < 0) throw MakeError(error::InvalidPropertyValue);
        rect_ = r;
    }

  private:
    Rect rect_;
};

class MemoryTextBox : public MemoryControl<TextBox> {
  public:
    Text GetText() const override { return text_; }
    void SetText(TextView text) override {
        text_.assign(text);
        if (onChange) onChange();
    }
    // The user: one notification per typed character.
    void Type(TextView typed) {
        for (char16_t c : typed) SetText(text_ + c);
    }
    void PressKey(int16_t key, int16_t shift = 0) {
        if (onKeyDown) onKeyDown(key, shift);
    }

  private:
    Text text_;
};

class MemoryButton : public MemoryControl<Button> {
  public:
    Text GetCaption() const override { return caption_; }
    void SetCaption(TextView caption) override { caption_.assign(caption); }
    void Click() {
        if (onClick) onClick();
    }

  private:
    Text caption_;
};

class MemoryCheckBox : public MemoryControl<CheckBox> {
  public:
    int16_t GetValue() const override { return value_; }
    void SetValue(int16_t value) override { value_ = value; }

  private:
    int16_t value_ = 0;
};

class MemoryScrollBar : public MemoryControl<ScrollBar> {
  public:
    int16_t min = 0, max = 32766, smallChange = 1, largeChange = 10;

    int16_t GetValue() const override { return value_; }
    void SetValue(int16_t value) override {
        if (value == value_) return;
        value_ = value;
        if (onChange) onChange();
    }
    // The user: arrows and trough clicks move the value within the range; a drag
    // reports each position while the thumb moves and the last one as a change.
    void LineUp() { Step(-smallChange); }
    void LineDown() { Step(smallChange); }
    void PageUp() { Step(-largeChange); }
    void PageDown() { Step(largeChange); }
    void Drag(std::vector<int16_t> positions) {
        const int16_t start = value_;
        for (int16_t p : positions) {
            value_ = p;
            if (onScroll) onScroll();
        }
        if (value_ != start && onChange) onChange();  // a change only if the thumb moved
    }

  private:
    void Step(int delta) {
        const int v = std::min<int>(max, std::max<int>(min, value_ + delta));
        SetValue(static_cast<int16_t>(v));
    }
    int16_t value_ = 0;
};

class MemoryLabel : public MemoryControl<Label> {};
class MemoryFrame : public MemoryControl<Frame> {};

class MemoryResultView : public MemoryControl<ResultView> {
  public:
    Text GetText() const override { return box_.Store().GetText(); }
    void ForEachPiece(const std::function<bool(TextView)>& take) const override {
        box_.Store().ForEachPiece(take);
    }
    void SetText(TextView text) override { box_.Store().SetText(text); }
    bool SetSelText(TextView text) override { return box_.SetSelText(text); }
    TextStore& Store() { return box_.Store(); }

  private:
    MemoryResultBox box_;
};

// Drives by letter, each with a current folder; a drive may be "not ready".
class MemoryDriveList : public MemoryControl<DriveList> {
  public:
    std::vector<char16_t> letters;  // lower case, the order of the list
    Text GetDrive() const override { return Text{selected_, u':'}; }
    void SetDrive(TextView drive) override;
    void Select(char16_t letter) { selected_ = letter; }

  private:
    char16_t selected_ = u'c';
};

// Folders known to exist, by full path; drive letters map to their current folders.
class MemoryDirList : public MemoryControl<DirList> {
  public:
    std::function<bool(TextView path)> exists;
    std::map<char16_t, Text> currentFolders;  // lower-case letter -> folder
    std::map<char16_t, int32_t> notReady;     // lower-case letter -> error number
    Text GetPath() const override { return path_; }
    void SetPath(TextView path) override;
    void Open(TextView path) {  // the user opens a folder in the list
        path_.assign(path);
        if (onChange) onChange();
    }

  private:
    Text path_;
};

class MemoryWindowFrame : public FormWindow {
  public:
    Text GetCaption() const override { return caption_; }
    void SetCaption(TextView caption) override { caption_.assign(caption); }
    float ScaleWidth() const override { return width; }
    float ScaleHeight() const override { return height; }
    float width = 593, height = 437;

  private:
    Text caption_;
};

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
