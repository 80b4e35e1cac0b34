// The edit box messages that screen readers and automation tools send to a read-only
// multi-line edit box, answered as it answers them. Where Windows documents an answer
// that differs from what Wine's edit box gives, the documented answer is given.
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/win32/Wide.h"
#include "resultview/win32/ResultBoxWindow.h"

namespace tarnwick::win32 {
namespace {

// An edit box takes its character and line numbers as 32-bit values; -1 (and, for some
// messages, any negative number) has a meaning of its own.
int Signed(WPARAM v) {
    return static_cast<int>(static_cast<UINT>(v));
}

// The answers of the messages that take a position or a line number.
class EditAnswers {
  public:
    explicit EditAnswers(const TextStore& text) : text_(text) {}

    LRESULT LineIndex(int line) const {
        if (line == -1) return Result(text_.LineStart(text_.LineOf(text_.Caret())));
        if (line < 0) return 0;
        if (static_cast<size_t>(line) >= text_.LineCount()) return -1;
        return Result(text_.LineStart(static_cast<size_t>(line)));
    }

    // -1: the characters left unselected on the lines the selection touches.
    LRESULT LineLength(int index) const {
        if (index == -1) {
            const size_t from = text_.SelStart(), to = text_.SelEnd();
            const long long before =
                static_cast<long long>(from - text_.LineStart(text_.LineOf(from)));
            const long long after = static_cast<long long>(text_.LineEnd(text_.LineOf(to))) -
                                    static_cast<long long>(to);
            return static_cast<LRESULT>(before + after);
        }
        if (index >= 0 && static_cast<size_t>(index) > text_.Length()) return 0;
        return Result(text_.LineLength(LineFrom(index)));
    }

    size_t LineFrom(int index) const {
        if (index == -1) return text_.LineOf(text_.SelStart());
        if (index < 0) return 0;
        return text_.LineOf(static_cast<size_t>(index));
    }

    // Copies a line into a buffer whose first WORD holds its size, with a NUL if it fits.
    LRESULT GetLine(int line, wchar_t* buffer) const {
        if (!buffer || (line >= 0 && static_cast<size_t>(line) >= text_.LineCount())) return 0;
        const size_t which = line == -1 ? text_.LineOf(text_.Caret()) : line < 0 ? 0 : line;
        const size_t room = *reinterpret_cast<const WORD*>(buffer);
        const size_t length = text_.LineLength(which);
        const Text content = text_.Substr(text_.LineStart(which), std::min(room, length));
        std::memcpy(buffer, content.data(), content.size() * sizeof(wchar_t));
        if (room > length) buffer[length] = L'\0';
        return Result(content.size());
    }

  private:
    static LRESULT Result(size_t n) { return static_cast<LRESULT>(n); }
    const TextStore& text_;
};

}  // namespace

bool Win32ResultBox::OnTextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    return OnWholeTextMessage(msg, wp, lp, result) || OnSelectionMessage(msg, wp, lp, result) ||
           OnLineMessage(msg, wp, lp, result) || OnPlaceMessage(msg, wp, lp, result) ||
           OnStateMessage(msg, wp, lp, result);
}

// The text as a whole: its length, a copy of it, a new one, and what keys the box takes.
bool Win32ResultBox::OnWholeTextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_GETTEXTLENGTH:
            result = static_cast<LRESULT>(text_.Length());
            return true;
        case WM_GETTEXT: {
            result = 0;
            if (wp == 0 || !lp) return true;
            auto* buffer = reinterpret_cast<char16_t*>(lp);
            const size_t n = text_.CopyTo(0, std::min<size_t>(wp - 1, text_.Length()), buffer);
            buffer[n] = u'\0';
            result = static_cast<LRESULT>(n);
            return true;
        }
        case WM_SETTEXT:
            SetText(lp ? FromW(reinterpret_cast<const wchar_t*>(lp)) : TextView());
            result = TRUE;
            return true;
        case WM_GETDLGCODE:
            // Not DLGC_HASSETSEL: tabbing in would select the whole listing, and the next
            // line of a running walk would replace it. Tab, Enter and Esc keep their
            // meaning in the window.
            result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            return true;
        case WM_COPY:
            Copy();
            return true;
    }
    return false;
}

// The selection: where it is, a new one, and text put in its place.
bool Win32ResultBox::OnSelectionMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case EM_GETSEL: {
            const auto from = static_cast<DWORD>(text_.SelStart()),
                       to = static_cast<DWORD>(text_.SelEnd());
            if (wp) *reinterpret_cast<DWORD*>(wp) = from;
            if (lp) *reinterpret_cast<DWORD*>(lp) = to;
            result = from > 0xFFFF || to > 0xFFFF ? -1 : MAKELONG(from, to);
            return true;
        }
        case EM_SETSEL: {
            // -1 removes the selection; other positions past the end (negative ones too)
            // stand for the end.
            const size_t length = text_.Length();
            const auto from = static_cast<UINT>(wp), to = static_cast<UINT>(lp);
            if (from == static_cast<UINT>(-1)) {
                Select(text_.Caret(), text_.Caret());
            } else {
                Select(std::min<size_t>(from, length), std::min<size_t>(to, length));
            }
            result = TRUE;
            return true;
        }
        case EM_REPLACESEL:
            SetSelText(lp ? FromW(reinterpret_cast<const wchar_t*>(lp)) : TextView());
            result = TRUE;
            return true;
    }
    return false;
}

// Lines: how many, where one starts, how long it is, which holds a character, a copy.
bool Win32ResultBox::OnLineMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    const EditAnswers answers(text_);
    switch (msg) {
        case EM_GETLINECOUNT:
            result = static_cast<LRESULT>(text_.LineCount());
            return true;
        case EM_LINEINDEX:
            result = answers.LineIndex(Signed(wp));
            return true;
        case EM_LINELENGTH:
            result = answers.LineLength(Signed(wp));
            return true;
        case EM_LINEFROMCHAR:
            result = static_cast<LRESULT>(answers.LineFrom(Signed(wp)));
            return true;
        case EM_GETLINE:
            result = answers.GetLine(Signed(wp), reinterpret_cast<wchar_t*>(lp));
            return true;
    }
    return false;
}

// Places in the window: of a character, the character at a point, and scrolling.
bool Win32ResultBox::OnPlaceMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case EM_POSFROMCHAR: {
            // Only a character has a place: the end of the text answers -1.
            if (static_cast<UINT>(wp) >= text_.Length()) {
                result = -1;
                return true;
            }
            const POINT p = PointOf(static_cast<UINT>(wp));
            result = MAKELONG(static_cast<WORD>(p.x),
                              static_cast<WORD>(p.y));  // signed, as the edit box gives it
            return true;
        }
        case EM_CHARFROMPOS: {
            RECT client;
            GetClientRect(hwnd_, &client);
            const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (!PtInRect(&client, p)) {
                result = -1;
                return true;
            }
            ApplyPendingScroll();
            const size_t pos = CharAt(p);
            result = MAKELONG(static_cast<WORD>(pos), static_cast<WORD>(text_.LineOf(pos)));
            return true;
        }
        case EM_GETFIRSTVISIBLELINE:
            result = static_cast<LRESULT>(FirstVisibleLine());
            return true;
        case EM_LINESCROLL:
            ApplyPendingScroll();
            ScrollLines(static_cast<int>(std::clamp<long long>(
                            static_cast<long long>(Signed(wp)) * charWidth_, INT_MIN, INT_MAX)),
                        static_cast<int>(lp));
            result = TRUE;
            return true;
        case EM_SCROLLCARET:
            caretScrollPending_ = false;
            ScrollCaret();
            result = TRUE;
            return true;
        case EM_GETRECT:
            if (lp) *reinterpret_cast<RECT*>(lp) = FormatRect();
            result = 0;
            return true;
    }
    return false;
}

// The box's state: its limit (none) and whether it was modified.
bool Win32ResultBox::OnStateMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
    switch (msg) {
        case EM_GETLIMITTEXT:  // no limit: as an edit box whose limit was lifted
            result = static_cast<LRESULT>(static_cast<UINT>(-1));
            return true;
        case EM_GETMODIFY:
            result = modified_;
            return true;
        case EM_SETMODIFY:
            modified_ = wp != 0;
            result = 0;
            return true;
    }
    return false;
}

}  // namespace tarnwick::win32
