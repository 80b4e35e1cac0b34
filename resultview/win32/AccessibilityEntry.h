#pragma once
// How screen readers and automation tools reach the result box: WM_GETOBJECT answered
// with the UI Automation element (ResultBoxAutomation) or the MSAA object
// (MsaaProvider), and the events that tell them the text or the caret moved.
#include <windows.h>

#include <oleauto.h>

#include <new>

struct IRawElementProviderSimple;

#include "platform/Text.h"
#include "resultview/model/TextStore.h"

namespace tarnwick::win32 {

class Win32ResultBox;
class UiaProvider;
class MsaaProvider;

// The name clients announce for the view; its own text would be the whole listing.
inline constexpr char16_t kAccessibleName[] = u"结果";
// A value is a single string, so clients get the listing's first characters as the value
// and read the rest through the Text pattern or the edit box messages: 65,535 characters
// (a pair of surrogates is never cut), as much as a 16-bit position can reach.
inline constexpr size_t kValueCharacters = 65535;
Text AccessibleValue(const TextStore& text);
BSTR MakeString(TextView text);  // null when there is no memory for it

// Runs a COM method body: a failure to allocate is E_OUTOFMEMORY, never an exception
// crossing into the client's code.
template <class Body>
HRESULT Guarded(Body&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

class AccessibilityEntry {
  public:
    explicit AccessibilityEntry(Win32ResultBox& view) : view_(view) {}
    ~AccessibilityEntry();
    AccessibilityEntry(const AccessibilityEntry&) = delete;
    AccessibilityEntry& operator=(const AccessibilityEntry&) = delete;

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    IRawElementProviderSimple* Element();  // with a reference for the caller; null if none
    // Marked as they happen, raised together by Flush: a walk that inserts many lines
    // raises a few events a second, at the pace of the screen.
    void TextChanged() { textChanged_ = true; }
    void SelectionChanged() { selectionChanged_ = true; }
    void Flush();

  private:
    LRESULT GetObject(WPARAM wp, LPARAM lp);
    void Disconnect();

    Win32ResultBox& view_;
    UiaProvider* provider_ = nullptr;     // made at the first request
    MsaaProvider* accessible_ = nullptr;  // likewise
    bool textChanged_ = false;
    bool selectionChanged_ = false;
};

}  // namespace tarnwick::win32
