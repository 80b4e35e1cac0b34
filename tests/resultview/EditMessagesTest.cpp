// The result box against a real read-only multi-line edit box: the same script of texts,
// selections, scrolls and insertions goes to both, and after each step every question a
// reader or an automation tool may ask, hostile ones included, gets the same answer.
//
// The edit box is given the view's font and margins and lifted limit, so that it holds the
// same text laid out the same way: the answers that depend on the font (EM_POSFROMCHAR,
// EM_CHARFROMPOS, EM_GETRECT) are then compared through the view's own metrics.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "resultview/win32/ResultBoxWindow.h"
#include "tests/support/Clipboard.h"

namespace tarnwick::win32 {
namespace {

using testing::ClipboardText;

constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                             ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL;

constexpr long long kAny = LLONG_MIN;  // a question the edit box has no comparable answer to

struct Answer {
    std::string question;
    long long arg;
    long long value;
    bool Matches(const Answer& expected) const {
        return question == expected.question && arg == expected.arg &&
               (expected.value == kAny || value == expected.value);
    }
};

std::ostream& operator<<(std::ostream& out, const Answer& a) {
    return out << a.question << "(" << a.arg << ") = " << a.value;
}

bool IsLow(wchar_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

class EditDifferential : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 760, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        view_ = std::make_unique<Win32ResultBox>(parent_, Rect{10, 10, 340, 200}, 1);
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", kEditStyle, 380, 10, 340, 200,
                                parent_, nullptr, nullptr, nullptr);
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(InterfaceFont()), TRUE);
        SendMessageW(edit_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(1, 2));
        SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
        RECT a, b;
        GetClientRect(view_->Handle(), &a);
        GetClientRect(edit_, &b);
        ASSERT_TRUE(EqualRect(&a, &b)) << "the two must show the same area";
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
    }

    // One step of the script, done to both, then every question asked of both.
    void Step(const std::string& what, const std::function<void(HWND)>& act) {
        act(view_->Handle());
        act(edit_);
        const std::vector<Answer> mine = Ask(view_->Handle());
        const std::vector<Answer> expected = Documented(Ask(edit_));
        ASSERT_EQ(mine.size(), expected.size());
        std::ostringstream differences;
        int count = 0;
        for (size_t i = 0; i < mine.size(); ++i)
            if (!mine[i].Matches(expected[i]) && count++ < 12)
                differences << "\n  view " << mine[i] << ", edit box " << expected[i].value;
        EXPECT_EQ(count, 0) << "after " << what << ":" << differences.str();
    }

    void Text(const std::wstring& text) {
        text_ = text;
        Step("WM_SETTEXT of " + std::to_string(text.size()) + " characters", [&](HWND h) {
            SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        });
    }
    void Select(long long from, long long to) {
        Step("EM_SETSEL(" + std::to_string(from) + ", " + std::to_string(to) + ")", [&](HWND h) {
            SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
        });
    }
    void Scroll(int dx, int dy) {
        Step("EM_LINESCROLL(" + std::to_string(dx) + ", " + std::to_string(dy) + ")",
             [&](HWND h) { SendMessageW(h, EM_LINESCROLL, static_cast<WPARAM>(dx), dy); });
    }
    void Insert(const std::wstring& text) {
        Step("EM_REPLACESEL", [&](HWND h) {
            SendMessageW(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
            text_.resize(static_cast<size_t>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0)));
            SendMessageW(h, WM_GETTEXT, text_.size() + 1, reinterpret_cast<LPARAM>(text_.data()));
        });
    }

    // Every question, over samples of the text's lines, positions and points.
    std::vector<Answer> Ask(HWND h) const {
        std::vector<Answer> out;
        auto ask = [&](const char* question, UINT msg, long long arg, WPARAM wp, LPARAM lp) {
            out.push_back({question, arg, SendMessageW(h, msg, wp, lp)});
        };
        const long long length = static_cast<long long>(text_.size());
        ask("WM_GETTEXTLENGTH", WM_GETTEXTLENGTH, 0, 0, 0);
        ask("EM_GETLINECOUNT", EM_GETLINECOUNT, 0, 0, 0);
        ask("EM_GETFIRSTVISIBLELINE", EM_GETFIRSTVISIBLELINE, 0, 0, 0);
        ask("EM_GETMODIFY", EM_GETMODIFY, 0, 0, 0);
        ask("EM_GETLIMITTEXT", EM_GETLIMITTEXT, 0, 0, 0);
        ask("WM_GETDLGCODE", WM_GETDLGCODE, 0, 0, 0);
        DWORD from = 0, to = 0;
        ask("EM_GETSEL", EM_GETSEL, 0, reinterpret_cast<WPARAM>(&from),
            reinterpret_cast<LPARAM>(&to));
        out.push_back({"EM_GETSEL start", 0, from});
        out.push_back({"EM_GETSEL end", 0, to});
        RECT r{};
        SendMessageW(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
        for (LONG side : {r.left, r.top, r.right, r.bottom}) out.push_back({"EM_GETRECT", 0, side});

        for (long long size : {0LL, 1LL, 2LL, length, length + 1, length + 100}) {
            std::wstring buffer(static_cast<size_t>(size) + 2, L'#');
            ask("WM_GETTEXT", WM_GETTEXT, size, static_cast<WPARAM>(size),
                reinterpret_cast<LPARAM>(buffer.data()));
            out.push_back({"WM_GETTEXT content", size, Hash(buffer)});
        }
        const long long lines = SendMessageW(h, EM_GETLINECOUNT, 0, 0);
        for (long long line : Samples(lines, {-3, -2, -1, lines - 1, lines, lines + 1, 0x7FFFFFFF,
                                              0x80000000LL, 0x100000001LL})) {
            ask("EM_LINEINDEX", EM_LINEINDEX, line, static_cast<WPARAM>(line), 0);
            for (int size : {0, 1, 2, 3, 500}) {
                std::wstring buffer(520, L'#');
                *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(size);
                ask("EM_GETLINE", EM_GETLINE, line * 1000 + size, static_cast<WPARAM>(line),
                    reinterpret_cast<LPARAM>(buffer.data()));
                buffer.resize(static_cast<size_t>(out.back().value) + 1);
                out.push_back({"EM_GETLINE content", line * 1000 + size, Hash(buffer)});
            }
        }
        for (long long pos : Samples(length, {-3, -2, -1, length - 1, length, length + 1,
                                              0x7FFFFFFF, 0xFFFFFFFFLL, 0x100000002LL})) {
            ask("EM_LINELENGTH", EM_LINELENGTH, pos, static_cast<WPARAM>(pos), 0);
            ask("EM_LINEFROMCHAR", EM_LINEFROMCHAR, pos, static_cast<WPARAM>(pos), 0);
            ask("EM_POSFROMCHAR", EM_POSFROMCHAR, pos, static_cast<WPARAM>(pos), 0);
        }
        RECT client;
        GetClientRect(h, &client);
        const int w = client.right, b = client.bottom;
        for (int y : {-1, 0, 1, 7, 15, 16, 40, b / 2, b - 1, b, 32767})
            for (int x : {-32768, -1, 0, 1, 2, 4, 9, 20, 57, w / 2, w - 1, w, 32767})
                ask("EM_CHARFROMPOS", EM_CHARFROMPOS, y * 100000LL + x, 0, MAKELPARAM(x, y));
        return out;
    }

    // Every line or position of a short text, a spread of a long one, and the extremes.
    static std::vector<long long> Samples(long long count, std::vector<long long> extremes) {
        const long long stride = count <= 600 ? 1 : count / 300;
        for (long long i = 0; i < count; i += stride) extremes.push_back(i);
        return extremes;
    }

    static long long Hash(const std::wstring& s) {
        return static_cast<long long>(std::hash<std::wstring>{}(s)&0x7FFFFFFFFFFFFFFF);
    }

    // Where Windows documents an answer that Wine's edit box does not give, the view
    // gives the documented one.
    std::vector<Answer> Documented(std::vector<Answer> answers) const {
        const long long length = static_cast<long long>(text_.size());
        DWORD from = 0, to = 0;
        SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        for (Answer& a : answers) {
            const std::string& q = a.question;
            if (q == "WM_GETDLGCODE")  // no select-all on tabbing in, no Tab, Enter or Esc
                a.value &= ~(DLGC_HASSETSEL | DLGC_WANTALLKEYS);
            if (q == "EM_GETSEL" && (from > 0xFFFF || to > 0xFFFF)) a.value = -1;
            // The unselected characters on the selection's lines, whichever way it was made.
            if (q == "EM_LINELENGTH" && static_cast<int>(a.arg) == -1)
                a.value = (from - LineIndexOf(from)) + (LineIndexOf(to) + LineLengthAt(to) - to);
            if (q == "EM_LINELENGTH" && a.arg >= 0 && a.arg <= 0x7FFFFFFF && a.arg > length)
                a.value = 0;
            // A character missing from the font (the emoji) is measured by the edit box in
            // Uniscribe's fallback font, by the view as GDI paints it: places after it on
            // its line are the font's, not comparable.
            if (q == "EM_POSFROMCHAR" && a.arg > 0 && a.arg < length &&
                PairBefore(static_cast<size_t>(a.arg)))
                a.value = kAny;
            if (q == "EM_CHARFROMPOS" && a.value != -1 && PairOnLine(HIWORD(a.value)))
                a.value = kAny;
            if (q == "EM_POSFROMCHAR" && a.arg > 0 && a.arg < length && a.value != kAny) {
                const wchar_t c = text_[static_cast<size_t>(a.arg)];
                if (c == L'\n' &&
                    text_[static_cast<size_t>(a.arg) - 1] == L'\r')  // beyond the line
                    a.value =
                        SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(a.arg - 1), 0);
                if (IsLow(c)) a.value = kAny;  // a pair's halves have no place of their own
            }
        }
        return answers;
    }
    // Whether a surrogate pair stands on the line of `pos` before it, or anywhere on a line.
    bool PairBefore(size_t pos) const {
        const size_t lineEnd = text_.rfind(L'\n', pos - 1);
        const size_t lineStart = lineEnd == std::wstring::npos ? 0 : lineEnd + 1;
        return std::any_of(text_.begin() + lineStart, text_.begin() + pos, IsLow);
    }
    bool PairOnLine(size_t line) const {
        size_t start = 0;
        for (size_t l = 0; l < line; ++l) start = text_.find(L'\n', start) + 1;
        const size_t end = std::min(text_.find(L'\n', start), text_.size());
        return std::any_of(text_.begin() + start, text_.begin() + end, IsLow);
    }
    long long LineIndexOf(DWORD pos) const {
        return SendMessageW(edit_, EM_LINEINDEX, SendMessageW(edit_, EM_LINEFROMCHAR, pos, 0), 0);
    }
    long long LineLengthAt(DWORD pos) const {
        return SendMessageW(edit_, EM_LINELENGTH, static_cast<WPARAM>(LineIndexOf(pos)), 0);
    }

    HWND parent_ = nullptr;
    std::unique_ptr<Win32ResultBox> view_;
    HWND edit_ = nullptr;
    std::wstring text_;
};

// Each text goes through the same script of selections (reversed, negative, past the end,
// wider than 32 bits), scrolls (within range and far beyond) and an insertion.
TEST_F(EditDifferential, AnswersAsAReadOnlyMultiLineEditBox) {
    std::wstring many;
    for (int i = 0; i < 4000; ++i) many += L"C:\\folder\\name" + std::to_wstring(i) + L"\r\n";
    const std::wstring longLine(400, L'w');
    const std::vector<std::wstring> texts = {
        L"",
        L"one\r\ntwo\r\nthree\r\n",
        L"no final line end\r\n\r\nlast",
        L"D:\\资料\\文件.txt\r\n\xD83D\xDE00 smile\r\n",
        longLine + L"\r\n" + longLine + L"x\r\n" + longLine + L"\r\n",
        many,
    };
    for (const std::wstring& text : texts) {
        Text(text);
        const long long length = static_cast<long long>(text.size());
        for (auto [from, to] :
             std::vector<std::pair<long long, long long>>{{1, 12},
                                                          {12, 1},
                                                          {-1, 3},
                                                          {2, -1},
                                                          {-5, 3},
                                                          {length + 5, 0},
                                                          {0x100000003LL, 5},
                                                          {length / 2, length / 2},
                                                          {70000, 70005},
                                                          {10, 70005}})
            Select(from, to);
        for (auto [dx, dy] : std::vector<std::pair<int, int>>{
                 {0, 5}, {0, -2}, {0, 100000}, {0, -100000}, {0, 7}, {5, 0}, {-2, 0}, {-100, 0}})
            Scroll(dx, dy);
        Step("EM_SCROLLCARET", [](HWND h) { SendMessageW(h, EM_SCROLLCARET, 0, 0); });
        Select(length / 3, length / 3 + 4);
        Insert(L"inserted\r\nline\r\n");
        Step("EM_SETMODIFY(FALSE)", [](HWND h) { SendMessageW(h, EM_SETMODIFY, FALSE, 0); });
        if (HasFatalFailure()) return;
    }
}

// What a WM_COPY to `box` puts on a clipboard emptied first; read at once only when asked.
std::wstring CopiedFrom(HWND box, bool read = true) {
    if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
    EmptyClipboard();
    CloseClipboard();
    SendMessageW(box, WM_COPY, 0, 0);
    return read ? ClipboardText() : L"";
}

// A copy holds the selection as it was when copied, as the edit box's does, whatever the
// view does next, going away included. The view promises the text and renders it when
// asked, so a read here is also the paste that makes it render.
TEST_F(EditDifferential, CopiesTheSelectionAsItWasWhenCopied) {
    Text(L"C:\\a\r\n文件夹\r\n\xD83D\xDE00 smile\r\nlast");
    const struct {
        long long from, to;
        bool readBeforeChange;
    } cases[] = {{0, -1, false}, {3, 9, true}, {12, 14, false}, {5, 5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        Select(c.from, c.to);
        const std::wstring expected = CopiedFrom(edit_);
        const std::wstring copied = CopiedFrom(view_->Handle(), c.readBeforeChange);
        if (c.readBeforeChange) {
            EXPECT_EQ(copied, expected);
        }
        view_->SetText(u"changed");
        EXPECT_EQ(ClipboardText(), expected);
        Text(L"C:\\a\r\n文件夹\r\n\xD83D\xDE00 smile\r\nlast");
    }
    // A copy made while another program holds the clipboard (a clipboard history reading
    // the last copy does at once) goes in as soon as it is free.
    Select(0, 4);
    const std::wstring held = CopiedFrom(edit_);
    ASSERT_TRUE(OpenClipboard(nullptr));  // and nothing of this thread's window left there
    EmptyClipboard();
    CloseClipboard();
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        OpenClipboard(nullptr);
        SetEvent(opened);
        WaitForSingleObject(release, INFINITE);
        CloseClipboard();
    });
    WaitForSingleObject(opened, INFINITE);
    SendMessageW(view_->Handle(), WM_COPY, 0, 0);
    SetEvent(release);
    holder.join();
    std::wstring got;
    for (int tries = 0; tries < 1000 && (got = ClipboardText()) != held; ++tries) Sleep(10);
    EXPECT_EQ(got, held) << "the copy made while the clipboard was held was lost";
    CloseHandle(opened);
    CloseHandle(release);

    Select(3, 9);
    const std::wstring expected = CopiedFrom(edit_);
    CopiedFrom(view_->Handle(), false);
    // A close during a walk ends the program at once, with the window gone and no
    // destructor run: the copy must be handed over by then.
    DestroyWindow(view_->Handle());
    EXPECT_EQ(GetClipboardOwner(), nullptr) << "still a promise of a thread about to die";
    EXPECT_EQ(ClipboardText(), expected);
}

// A second program that has taken the clipboard, then answers its messages or hangs.
struct OtherProgram {
    explicit OtherProgram(bool hangs) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const HANDLE ready = CreateEventW(&inherited, TRUE, FALSE, nullptr);
        std::wstring line =
            L"\"" +
            (std::filesystem::path(self).parent_path() / L"hung_clipboard_owner.exe").wstring() +
            L"\" " + std::to_wstring(reinterpret_cast<uintptr_t>(ready)) +
            (hangs ? L" 30000" : L" 0");
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                           &process)) {
            const HANDLE either[] = {ready, process.hProcess};
            owns = WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
        }
        CloseHandle(ready);
    }
    ~OtherProgram() {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    PROCESS_INFORMATION process{};
    bool owns = false;
};

// Emptying the clipboard waits for its last owner's answer: the copy is there on return, as
// an edit box's, unless that owner has stopped answering, which holds up the copy, not us.
TEST_F(EditDifferential, ACopyWaitsForALastOwnerThatAnswersButNeverForOneThatHangs) {
    using std::chrono::milliseconds;
    constexpr milliseconds kPrompt{100}, kClose{1000};
    auto timed = [](auto f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    };
    auto copied = [&](size_t from, size_t to) {
        view_->Select(from, to);
        return timed([&] { SendMessageW(view_->Handle(), WM_COPY, 0, 0); });
    };
    view_->SetText(u"first\r\nsecond\r\nthird");
    // Owners that answer: a window of this thread (as the path box is), another program.
    SendMessageW(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\path"));
    SendMessageW(edit_, EM_SETSEL, 0, -1);
    ASSERT_EQ(CopiedFrom(edit_), L"C:\\path");
    copied(0, 5);
    EXPECT_EQ(ClipboardText(), L"first");
    OtherProgram answering(false);
    ASSERT_TRUE(answering.owns);
    copied(0, 13);
    EXPECT_EQ(ClipboardText(), L"first\r\nsecond");
    {
        OtherProgram hung(true);  // far longer than any bound here, until ended
        ASSERT_TRUE(hung.owns);
        EXPECT_LT(copied(7, 13), kPrompt) << "the copy waited on the hung program";
        EXPECT_LT(timed([] {  // what came for the window meanwhile is answered at once
                      MSG msg;
                      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                  }),
                  kPrompt);
        EXPECT_LT(copied(15, 20), kPrompt) << "a newer copy waited on the last";
        view_->SetText(u"changed");
        EXPECT_LT(timed([&] { DestroyWindow(parent_); }), kClose) << "the close waited";
    }
    // Once the hung program lets go, the newest copy goes in as it was when copied, though
    // the window has gone: the offer's window goes once it is handed over.
    for (int tries = 0;
         tries < 3000 && FindWindowExW(HWND_MESSAGE, nullptr, L"TarnwickClipboardOffer", nullptr);
         ++tries)
        Sleep(10);
    EXPECT_EQ(ClipboardText(), L"third");
}

// What the parent learns of the box while the box is being made: the system tells it of
// a new child from inside CreateWindowEx.
std::vector<LRESULT> heardDuringCreation;

std::vector<LRESULT> AskAbout(HWND box) {
    DWORD from = 7, to = 7;  // left alone by a window that does not answer
    const LRESULT sel = SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                                     reinterpret_cast<LPARAM>(&to));
    return {SendMessageW(box, EM_GETLINECOUNT, 0, 0),
            SendMessageW(box, WM_GETDLGCODE, 0, 0),
            SendMessageW(box, EM_GETLIMITTEXT, 0, 0),
            sel,
            static_cast<LRESULT>(from),
            static_cast<LRESULT>(to)};
}

LRESULT CALLBACK AskingParent(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PARENTNOTIFY && LOWORD(wp) == WM_CREATE)
        heardDuringCreation = AskAbout(reinterpret_cast<HWND>(lp));
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A client that asks while the window is being made (a screen reader that heard of the
// new window) gets the box's answers, not those of a window with no object yet.
TEST(ResultBoxCreation, AnswersFromItsFirstMessage) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = AskingParent;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnwickAskingParent";
    RegisterClassW(&wc);
    const HWND parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                        300, nullptr, nullptr, wc.hInstance, nullptr);
    heardDuringCreation.clear();
    {
        Win32ResultBox box(parent, Rect{10, 10, 300, 200}, 1);
        ASSERT_FALSE(heardDuringCreation.empty()) << "the parent heard nothing of the new box";
        EXPECT_EQ(heardDuringCreation, AskAbout(box.Handle()));
    }
    DestroyWindow(parent);
}

}  // namespace
}  // namespace tarnwick::win32
