// What screen readers get from the result box: the UI Automation element, called in
// process as the UI Automation core calls it, the MSAA object as a client gets it through
// oleacc, and the events both are told.
#include <windows.h>

#include <oleacc.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#define EXPECT_FAILED(hr) EXPECT_TRUE(FAILED(hr))

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "resultview/model/TextUnits.h"
#include "resultview/win32/AccessibilityLibraries.h"
#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/UiaDeclarations.h"
#include "resultview/win32/UiaProvider.h"
#include "tests/support/ComRef.h"

namespace tarnwick::win32 {
namespace {

using testing::Ref;

std::wstring Take(BSTR s) {
    std::wstring out = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
    SysFreeString(s);
    return out;
}

class Accessibility : public ::testing::Test {
  protected:
    // As the program does; once, since leaving the apartment costs Wine seconds.
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        view_ = std::make_unique<Win32ResultBox>(parent_, Rect{10, 10, 300, 200}, 1);
    }
    void TearDown() override {
        view_.reset();
        DestroyWindow(parent_);
    }
    HWND View() const { return view_->Handle(); }
    void Show(const std::u16string& text) {
        view_->SetText(text);
        Refresh();
    }
    // The refresh the view's timer would bring, now.
    void Refresh() {
        SendMessageW(View(), WM_TIMER, 1, 0);
        Pump();
    }
    static void Pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
    // Everything but the view's refresh timer, whenever it comes.
    static void PumpAllButTimers() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
               PeekMessageW(&m, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE))
            DispatchMessageW(&m);
    }
    ITextProvider* Text() {
        Ref<IRawElementProviderSimple> element;
        element.p = view_->AutomationElement();
        Ref<IUnknown> pattern;
        EXPECT_EQ(element->GetPatternProvider(UIA_TextPatternId, &pattern), S_OK);
        ITextProvider* text = nullptr;
        if (pattern.p)
            pattern->QueryInterface(__uuidof(ITextProvider), reinterpret_cast<void**>(&text));
        return text;
    }
    std::wstring TextOf(ITextRangeProvider* range, int max = -1) {
        BSTR s = nullptr;
        EXPECT_EQ(range->GetText(max, &s), S_OK);
        return Take(s);
    }
    std::pair<DWORD, DWORD> Selection() {
        DWORD from = 0, to = 0;
        SendMessageW(View(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        return {from, to};
    }

    HWND parent_ = nullptr;
    std::unique_ptr<Win32ResultBox> view_;
};

TEST_F(Accessibility, MsaaSeesReadOnlyTextNamedForWhatItIs) {
    Show(u"C:\\a\r\n文件\r\n");
    Ref<IAccessible> object;
    ASSERT_EQ(AccessibleObjectFromWindow(View(), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible), reinterpret_cast<void**>(&object)),
              S_OK);
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role, state;
    ASSERT_EQ(object->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    ASSERT_EQ(object->get_accState(self, &state), S_OK);
    EXPECT_EQ(state.lVal & (STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE),
              STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE);
    BSTR name = nullptr, value = nullptr;
    ASSERT_EQ(object->get_accName(self, &name), S_OK);
    EXPECT_EQ(Take(name), L"结果");
    ASSERT_EQ(object->get_accValue(self, &value), S_OK);
    EXPECT_EQ(Take(value), L"C:\\a\r\n文件\r\n");
    long children = -1;
    EXPECT_EQ(object->get_accChildCount(&children), S_OK);
    EXPECT_EQ(children, 0);

    // A long listing's value is its first 65,535 characters, and no pair is cut in two.
    std::u16string longText(65534, u'x');
    longText += u"\xD83D\xDE00" + std::u16string(100, u'y');
    view_->SetText(longText);
    ASSERT_EQ(object->get_accValue(self, &value), S_OK);
    EXPECT_EQ(Take(value), std::wstring(65534, L'x'));
}

TEST_F(Accessibility, UiaSeesAReadOnlyDocumentWithTheTextPattern) {
    Ref<IRawElementProviderSimple> element;
    element.p = view_->AutomationElement();
    ASSERT_NE(element.p, nullptr);
    VARIANT v;
    ASSERT_EQ(element->GetPropertyValue(UIA_ControlTypePropertyId, &v), S_OK);
    EXPECT_EQ(v.lVal, uia::kDocumentControlType);
    ASSERT_EQ(element->GetPropertyValue(UIA_NamePropertyId, &v), S_OK);
    EXPECT_EQ(Take(v.bstrVal), L"结果");
    ASSERT_EQ(element->GetPropertyValue(UIA_ValueIsReadOnlyPropertyId, &v), S_OK);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    Ref<IUnknown> valuePattern;
    ASSERT_EQ(element->GetPatternProvider(UIA_ValuePatternId, &valuePattern), S_OK);
    Ref<IValueProvider> value;
    ASSERT_EQ(
        valuePattern->QueryInterface(__uuidof(IValueProvider), reinterpret_cast<void**>(&value)),
        S_OK);
    BOOL readOnly = FALSE;
    EXPECT_EQ(value->get_IsReadOnly(&readOnly), S_OK);
    EXPECT_TRUE(readOnly);
    EXPECT_NE(value->SetValue(L"x"), S_OK);

    // The window hands its element to the UI Automation core that asks for it.
    EXPECT_NE(SendMessageW(View(), WM_GETOBJECT, 0, uia::kRootObjectId), 0);
}

TEST_F(Accessibility, TextRangesMoveByEveryUnitAndReadOnlyWhatIsAsked) {
    // a 0, b 1, CR LF 2-3, a pair 4-5, c 6, CR LF 7-8, "line three" 9-18, CR LF 19-20, end 21
    Show(
        u"ab\r\n\xD83D\xDE00"
        u"c\r\nline three\r\n");
    Ref<ITextProvider> text;
    text.p = Text();
    ASSERT_NE(text.p, nullptr);
    Ref<ITextRangeProvider> document;
    ASSERT_EQ(text->get_DocumentRange(&document), S_OK);
    EXPECT_EQ(TextOf(document.p),
              L"ab\r\n\xD83D\xDE00"
              L"c\r\nline three\r\n");
    EXPECT_EQ(TextOf(document.p, 3), L"ab\r");
    EXPECT_EQ(TextOf(document.p, 5), L"ab\r\n");  // not half a pair
    EXPECT_EQ(TextOf(document.p, 0), L"");

    Ref<ITextRangeProvider> range;
    ASSERT_EQ(document->Clone(&range), S_OK);
    int moved = 0;
    ASSERT_EQ(
        range->MoveEndpointByUnit(TextPatternRangeEndpoint_End, TextUnit_Document, -1, &moved),
        S_OK);
    EXPECT_EQ(moved, -1);
    EXPECT_EQ(TextOf(range.p), L"");  // collapsed at the start
    EXPECT_EQ(range->Move(TextUnit_Character, 2, &moved), S_OK);
    EXPECT_EQ(moved, 2);
    EXPECT_EQ(range->ExpandToEnclosingUnit(TextUnit_Character), S_OK);
    EXPECT_EQ(TextOf(range.p), L"\r\n");  // a line end is one character
    EXPECT_EQ(range->Move(TextUnit_Character, 1, &moved), S_OK);
    EXPECT_EQ(TextOf(range.p), L"\xD83D\xDE00");  // and so is a pair
    EXPECT_EQ(range->Move(TextUnit_Line, 1, &moved), S_OK);
    EXPECT_EQ(TextOf(range.p), L"line three\r\n");
    EXPECT_EQ(range->Move(TextUnit_Word, 1, &moved), S_OK);
    EXPECT_EQ(TextOf(range.p), L"three");
    EXPECT_EQ(range->Move(TextUnit_Line, 5, &moved), S_OK);
    EXPECT_EQ(moved, 1);  // to the empty line at the end, and no further
    EXPECT_EQ(TextOf(range.p), L"");
    EXPECT_EQ(range->Move(TextUnit_Paragraph, -9, &moved), S_OK);
    EXPECT_EQ(moved, -3);
    EXPECT_EQ(range->ExpandToEnclosingUnit(TextUnit_Page), S_OK);
    EXPECT_EQ(TextOf(range.p),
              L"ab\r\n\xD83D\xDE00"
              L"c\r\nline three\r\n");  // one page shows all

    // Comparing and joining ranges.
    BOOL same = FALSE;
    EXPECT_EQ(range->Compare(document.p, &same), S_OK);
    EXPECT_TRUE(same);
    int order = 0;
    ASSERT_EQ(range->MoveEndpointByUnit(TextPatternRangeEndpoint_Start, TextUnit_Line, 1, &moved),
              S_OK);
    EXPECT_EQ(range->CompareEndpoints(TextPatternRangeEndpoint_Start, document.p,
                                      TextPatternRangeEndpoint_Start, &order),
              S_OK);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(range->MoveEndpointByRange(TextPatternRangeEndpoint_End, document.p,
                                         TextPatternRangeEndpoint_Start),
              S_OK);
    EXPECT_EQ(TextOf(range.p), L"");  // the start came along to the document's start
}

TEST_F(Accessibility, SelectionVisibleRangesPointsAndRectanglesAreTheViews) {
    std::u16string text;
    for (int i = 0; i < 200; ++i)
        text += u"C:\\folder\\line" + std::u16string(1, char16_t(u'a' + i % 26)) + u"\r\n";
    Show(text);
    Ref<ITextProvider> provider;
    provider.p = Text();
    ASSERT_NE(provider.p, nullptr);

    // A range selected through the pattern is the view's selection, and back.
    Ref<ITextRangeProvider> document;
    ASSERT_EQ(provider->get_DocumentRange(&document), S_OK);
    Ref<ITextRangeProvider> line;
    ASSERT_EQ(document->Clone(&line), S_OK);
    int moved = 0;
    line->Move(TextUnit_Line, 150, &moved);
    ASSERT_EQ(moved, 150);
    ASSERT_EQ(line->Select(), S_OK);
    const size_t start = 150 * 17;
    EXPECT_EQ(Selection(), std::make_pair(DWORD(start), DWORD(start + 17)));
    SAFEARRAY* ranges = nullptr;
    ASSERT_EQ(provider->GetSelection(&ranges), S_OK);
    LONG i = 0;
    Ref<ITextRangeProvider> selected;
    SafeArrayGetElement(ranges, &i, &selected.p);
    SafeArrayDestroy(ranges);
    EXPECT_EQ(TextOf(selected.p), TextOf(line.p));

    // Selecting scrolled the line into view: the visible range starts where the view shows.
    const auto top = static_cast<size_t>(SendMessageW(View(), EM_GETFIRSTVISIBLELINE, 0, 0));
    ASSERT_EQ(provider->GetVisibleRanges(&ranges), S_OK);
    Ref<ITextRangeProvider> visible;
    SafeArrayGetElement(ranges, &i, &visible.p);
    SafeArrayDestroy(ranges);
    EXPECT_EQ(TextOf(visible.p, 17),
              std::wstring(text.begin() + top * 17, text.begin() + top * 17 + 17));

    // The rectangle of the selected line, on the screen, is where EM_POSFROMCHAR puts it.
    ASSERT_EQ(line->GetBoundingRectangles(&ranges), S_OK);
    LONG count = 0;
    SafeArrayGetUBound(ranges, 1, &count);
    ASSERT_EQ(count, 3);  // one rectangle: left, top, width, height
    double r[4];
    for (LONG k = 0; k < 4; ++k) SafeArrayGetElement(ranges, &k, &r[k]);
    SafeArrayDestroy(ranges);
    const LRESULT p = SendMessageW(View(), EM_POSFROMCHAR, start, 0);
    POINT screen{static_cast<short>(LOWORD(p)), static_cast<short>(HIWORD(p))};
    ClientToScreen(View(), &screen);
    EXPECT_EQ(r[0], screen.x);
    EXPECT_EQ(r[1], screen.y);
    EXPECT_GT(r[2], 0);
    EXPECT_EQ(r[3], view_->LineHeight());

    // A point finds the character under it.
    Ref<ITextRangeProvider> at;
    ASSERT_EQ(provider->RangeFromPoint({r[0] + 1, r[1] + 1}, &at), S_OK);
    at->ExpandToEnclosingUnit(TextUnit_Line);
    EXPECT_EQ(TextOf(at.p), TextOf(line.p));

    // And a range brought into view from far away.
    ASSERT_EQ(document->ScrollIntoView(TRUE), S_OK);
    EXPECT_EQ(SendMessageW(View(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

// A surface with no window: a grid of 10 by 20 pixels whose top left is (100, 200) on the
// screen, showing three lines from line 1.
struct GridSurface final : TextSurface {
    TextStore store;
    const TextStore& Store() const override { return store; }
    void Select(size_t anchor, size_t caret) override { store.Select(anchor, caret); }
    void ScrollIntoView(size_t, size_t, bool) override {}
    size_t FirstVisibleLine() override { return 1; }
    size_t VisibleLines() const override { return 3; }
    int LineHeight() const override { return 20; }
    ScreenPoint ScreenPointOf(size_t pos) override {
        const size_t line = store.LineOf(pos);
        return {100 + 10 * long(pos - store.LineStart(line)), 200 + 20 * (long(line) - 1)};
    }
    size_t CharAtScreen(ScreenPoint p) override {
        const size_t line = size_t(std::clamp((p.y - 200) / 20 + 1, 0L, 7L));
        const size_t column = size_t(std::clamp((p.x - 100 + 5) / 10, 0L, 5L));
        return store.LineStart(line) + std::min(column, store.LineLength(line));
    }
    bool HasFocus() const override { return false; }
};

// The providers need only the surface: rectangles for the lines in sight and characters
// under points come from it, with no window to ask.
TEST(AccessibilityWithoutAWindow, RectanglesAndPointsComeFromTheSurface) {
    GridSurface grid;
    grid.store.SetText(u"line0\r\nline1\r\nline2\r\nline3\r\nline4\r\nline5\r\nline6\r\n");
    auto* provider = new UiaProvider(grid, nullptr);
    Ref<ITextRangeProvider> range;
    ASSERT_EQ(provider->RangeFromPoint({123, 245}, &range.p), S_OK);  // line 3, column 2
    int moved = 0;
    range->MoveEndpointByUnit(TextPatternRangeEndpoint_End, TextUnit_Character, 12, &moved);
    BSTR text = nullptr;
    range->GetText(-1, &text);
    EXPECT_EQ(Take(text), L"ne3\r\nline4\r\nli");  // a line end is one character
    SAFEARRAY* rectangles = nullptr;
    ASSERT_EQ(range->GetBoundingRectangles(&rectangles), S_OK);
    LONG last = -1;
    SafeArrayGetUBound(rectangles, 1, &last);
    std::vector<double> r(size_t(last + 1));
    for (LONG k = 0; k <= last; ++k) SafeArrayGetElement(rectangles, &k, &r[size_t(k)]);
    SafeArrayDestroy(rectangles);
    // Of lines 3 to 5 only line 3 is in sight: from its third character to its end.
    EXPECT_EQ(r, (std::vector<double>{120, 240, 30, 20}));
    provider->Disconnect();
    provider->Release();
}

// A client's extreme counts take a range's ends across the whole listing at once: as many
// units as steps of one would, at the cost of a few walks down the view's text tree.
TEST_F(Accessibility, RangesMoveByAnyCountAtTheCostOfOneUnit) {
    std::u16string text;
    for (int i = 0; i < 3000; ++i) text += u"C:\\资料 " + std::u16string(i % 7, u'x') + u".txt\r\n";
    Show(text);
    const tarnwick::TextStore& store = view_->Store();
    const TextUnits units(store, view_->VisibleLines());
    Ref<ITextProvider> provider;
    provider.p = Text();
    Ref<ITextRangeProvider> document;
    ASSERT_EQ(provider->get_DocumentRange(&document), S_OK);
    for (int unit = TextUnit_Character; unit <= TextUnit_Document; ++unit) {
        int steps = 0;  // across the text, a unit at a time
        for (size_t p = 0; p < store.Length(); ++steps)
            p = units.Next(static_cast<tarnwick::TextUnit>(unit), p);
        for (const int count : {INT_MAX, INT_MIN}) {
            Ref<ITextRangeProvider> range;
            document->Clone(&range);
            const size_t walks = store.Tree().Walks();
            int moved = 0;
            ASSERT_EQ(range->MoveEndpointByUnit(
                          count > 0 ? TextPatternRangeEndpoint_Start : TextPatternRangeEndpoint_End,
                          static_cast<::TextUnit>(unit), count, &moved),
                      S_OK);
            EXPECT_EQ(moved, count > 0 ? steps : -steps) << "unit " << unit;
            EXPECT_LE(store.Tree().Walks() - walks, 24u) << "unit " << unit;
            EXPECT_EQ(TextOf(range.p), L"");
        }
    }
}

// Clients may hold the objects longer than the view lives: they then answer that it is
// gone, and leave nothing in what they would have given.
TEST_F(Accessibility, ObjectsOutlivingTheViewSayItIsGone) {
    Show(u"text");
    Ref<ITextProvider> text;
    text.p = Text();
    Ref<ITextRangeProvider> document;
    ASSERT_EQ(text->get_DocumentRange(&document), S_OK);
    Ref<IAccessible> object;
    ASSERT_EQ(AccessibleObjectFromWindow(View(), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible), reinterpret_cast<void**>(&object)),
              S_OK);
    view_.reset();
    auto* garbage = reinterpret_cast<ITextRangeProvider*>(0x1234);
    BSTR s = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(document->GetText(-1, &s), uia::kElementNotAvailable);
    EXPECT_EQ(s, nullptr);
    ITextRangeProvider* again = garbage;
    EXPECT_EQ(text->get_DocumentRange(&again), uia::kElementNotAvailable);
    EXPECT_EQ(again, nullptr);
    ITextRangeProvider* clone = garbage;
    EXPECT_EQ(document->Clone(&clone), uia::kElementNotAvailable);
    EXPECT_EQ(clone, nullptr);
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR value = reinterpret_cast<BSTR>(0x1234);
    EXPECT_FAILED(object->get_accValue(self, &value));
    EXPECT_EQ(value, nullptr);
}

// Finding text reads the range a piece at a time: a match across two pieces is found,
// forwards and backwards, with or without case.
TEST_F(Accessibility, FindTextAndAttributes) {
    std::u16string text(1u << 20, u'x');
    text.replace(text.size() - 3, 3, u"nee");
    text += u"dle and Needle\r\n";
    Show(text);
    Ref<ITextProvider> provider;
    provider.p = Text();
    Ref<ITextRangeProvider> document;
    ASSERT_EQ(provider->get_DocumentRange(&document), S_OK);
    const size_t across = (1u << 20) - 3;  // starts in the first piece, ends in the second
    auto find = [&](const wchar_t* what, BOOL backward, BOOL ignoreCase) -> long long {
        BSTR needle = SysAllocString(what);
        Ref<ITextRangeProvider> found;
        EXPECT_EQ(document->FindText(needle, backward, ignoreCase, &found), S_OK);
        SysFreeString(needle);
        if (!found.p) return -1;
        Ref<ITextRangeProvider> start;
        document->Clone(&start);
        start->MoveEndpointByRange(TextPatternRangeEndpoint_End, found.p,
                                   TextPatternRangeEndpoint_Start);
        return static_cast<long long>(TextOf(start.p).size());
    };
    EXPECT_EQ(find(L"needle", FALSE, FALSE), static_cast<long long>(across));
    EXPECT_EQ(find(L"needle", TRUE, FALSE), static_cast<long long>(across));
    EXPECT_EQ(find(L"needle", TRUE, TRUE), static_cast<long long>(across + 11));
    EXPECT_EQ(find(L"NEEDLE", FALSE, FALSE), -1);

    // Read-only all through; nothing else is known of the text.
    VARIANT v;
    ASSERT_EQ(document->GetAttributeValue(uia::kIsReadOnlyAttribute, &v), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    ASSERT_EQ(document->GetAttributeValue(40001 /* font name */, &v), S_OK);
    EXPECT_EQ(v.vt, VT_UNKNOWN);  // the reserved "not supported" value
    VariantClear(&v);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    Ref<ITextRangeProvider> readOnly;
    ASSERT_EQ(document->FindAttribute(uia::kIsReadOnlyAttribute, v, FALSE, &readOnly), S_OK);
    ASSERT_NE(readOnly.p, nullptr);
    BOOL same = FALSE;
    readOnly->Compare(document.p, &same);
    EXPECT_TRUE(same);
}

// The MSAA events, as a client hooked to them gets them.
std::vector<std::pair<DWORD, LONG>> seen;
void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG, DWORD, DWORD) {
    seen.push_back({event, object});
}

TEST_F(Accessibility, ChangesAreAnnouncedAtThePaceOfTheScreen) {
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_TEXTSELECTIONCHANGED, nullptr,
                        Record, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    Refresh();
    seen.clear();
    for (int i = 0; i < 100; ++i) view_->SetSelText(u"C:\\folder\r\n");  // as a walk does
    PumpAllButTimers();
    EXPECT_THAT(seen, ::testing::IsEmpty());  // nothing before the screen catches up
    Refresh();
    const std::pair<DWORD, LONG> value{EVENT_OBJECT_VALUECHANGE, OBJID_CLIENT};
    const std::pair<DWORD, LONG> selection{EVENT_OBJECT_TEXTSELECTIONCHANGED, OBJID_CLIENT};
    const std::pair<DWORD, LONG> caret{EVENT_OBJECT_LOCATIONCHANGE, OBJID_CARET};
    EXPECT_EQ(std::count(seen.begin(), seen.end(), value), 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), selection), 1);

    // A caret the user (or a client) moves is announced at once, with its new place.
    SetFocus(View());
    seen.clear();
    SendMessageW(View(), EM_SETSEL, 5, 5);
    Pump();
    EXPECT_THAT(seen, ::testing::Contains(selection));
    EXPECT_THAT(seen, ::testing::Contains(caret));
    EXPECT_THAT(seen, ::testing::Not(::testing::Contains(value)));
    UnhookWinEvent(hook);
}

// The UI Automation events, as the core library is asked to raise them for a listening
// client (one that has asked for the element).
std::vector<EVENTID> raised;
TEST_F(Accessibility, UiaClientsAreToldOfTextAndSelectionChanges) {
    ASSERT_NE(UiaCore(), nullptr);
    UiaCoreLibrary recording = *UiaCore();
    recording.ClientsAreListening = []() -> BOOL { return TRUE; };
    recording.RaiseAutomationEvent = [](IRawElementProviderSimple*, EVENTID id) {
        raised.push_back(id);
        return S_OK;
    };
    ReplaceUiaCore(&recording);
    struct Restore {
        ~Restore() { ReplaceUiaCore(nullptr); }
    } restore;
    Ref<IRawElementProviderSimple> element;
    element.p = view_->AutomationElement();
    raised.clear();
    for (int i = 0; i < 100; ++i) view_->SetSelText(u"C:\\folder\r\n");
    EXPECT_THAT(raised, ::testing::IsEmpty());
    Refresh();
    EXPECT_THAT(raised, ::testing::UnorderedElementsAre(uia::kTextChangedEvent,
                                                        uia::kTextSelectionChangedEvent));
    raised.clear();
    Ref<ITextProvider> text;
    text.p = Text();
    Ref<ITextRangeProvider> document;
    text->get_DocumentRange(&document);
    document->Select();  // a client's selection is announced like the user's
    EXPECT_THAT(raised, ::testing::ElementsAre(uia::kTextSelectionChangedEvent));
}

}  // namespace
}  // namespace tarnwick::win32
