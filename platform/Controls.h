#pragma once
// The controls of the main window as its handlers see them, one interface per kind. Each has a
// Win32 and an in-memory implementation; both raise their notifications synchronously, inside the
// write that caused them, by calling the callback the window set.
#include <cstdint>
#include <functional>

#include "platform/RunTimeError.h"
#include "platform/Text.h"

namespace tarnwick {

using Notify = std::function<void()>;

// Place and size in the unit of the control's container.
struct Rect {
    float left = 0, top = 0, width = 0, height = 0;
};

class Control {
  public:
    virtual ~Control() = default;
    virtual Rect GetRect() const = 0;
    virtual void Move(Rect r) = 0;
};

class TextBox : public Control {
  public:
    virtual Text GetText() const = 0;
    virtual void SetText(TextView text) = 0;  // notifies every write, also of an unchanged text
    Notify onChange;
    std::function<void(int16_t& KeyCode, int16_t Shift)> onKeyDown;
};

class Button : public Control {
  public:
    virtual Text GetCaption() const = 0;
    virtual void SetCaption(TextView caption) = 0;
    Notify onClick;
};

class CheckBox : public Control {
  public:
    virtual int16_t GetValue() const = 0;  // 0 clear, 1 ticked, 2 grayed
    virtual void SetValue(int16_t value) = 0;
};

class ScrollBar : public Control {
  public:
    virtual int16_t GetValue() const = 0;
    virtual void SetValue(int16_t value) = 0;  // notifies only when the value changes
    Notify onChange;
    Notify onScroll;  // while the thumb is dragged
};

class DriveList : public Control {
  public:
    virtual Text GetDrive() const = 0;
    // Selects the drive named by the text's first letter; notifies when the selection
    // changes. Throws RunTimeError (68) for a letter that names no drive.
    virtual void SetDrive(TextView drive) = 0;
    Notify onChange;
};

class DirList : public Control {
  public:
    virtual Text GetPath() const = 0;
    // Opens the folder (or, for a drive's text, that drive's current folder) and notifies.
    // Throws RunTimeError (76, or the drive's own) for a text that names no reachable folder.
    virtual void SetPath(TextView path) = 0;
    Notify onChange;
};

// The multi-line result box: the listing. The walk only ever inserts.
class ResultBox : public Control {
  public:
    virtual Text GetText() const = 0;
    virtual void SetText(TextView text) = 0;
    // Replaces the selection (or inserts at the caret) and leaves the caret after the new
    // text. False when the box refuses it.
    virtual bool SetSelText(TextView text) = 0;
    // A walk starts listing `root` (as the walk was given it), its lines bare names or full
    // paths: the box may keep beside each line which entry it is, to find its path again.
    virtual void BeginListing(TextView /*root*/, bool /*bareNames*/) {}
    // SetSelText for the line of an entry at `level` (1 for the root's own entries);
    // `realName` is the entry's name where the line shows it otherwise, else empty.
    virtual bool SetSelEntry(TextView text, int32_t /*level*/, TextView /*realName*/) {
        return SetSelText(text);
    }
    // The text a piece at a time, for reading a long listing without a copy of the whole;
    // no piece ends between the halves of a surrogate pair. `take` returns false to stop.
    virtual void ForEachPiece(const std::function<bool(TextView)>& take) const = 0;
    // The same text as bytes in `codePage`, where the box holds it so (exactly what converting
    // its text gives), a piece at a time, with nothing to convert; false, having given
    // nothing, where it doesn't.
    virtual bool ForEachPieceIn(uint32_t /*codePage*/,
                                const std::function<bool(std::string_view)>& /*take*/) const {
        return false;
    }
    // Runs `adding`, which adds lines at the end, and gives `take` the whole text in
    // `codePage` meanwhile or once it has run, where the box holds it so: false where it
    // doesn't, having given only part of it or nothing (the text is then to be written
    // afresh).
    virtual bool GiveWhileAdding(uint32_t /*codePage*/, const std::function<void()>& adding,
                                 const std::function<void(std::string_view)>& /*take*/) {
        adding();
        return false;
    }
};

class Label : public Control {};
class Frame : public Control {};

}  // namespace tarnwick
