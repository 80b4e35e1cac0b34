#include "resultview/win32/AccessibilityEntry.h"

#include <oleauto.h>

#include <utility>

#include "resultview/win32/AccessibilityLibraries.h"
#include "resultview/win32/MsaaProvider.h"
#include "resultview/win32/ResultBoxWindow.h"
#include "resultview/win32/UiaProvider.h"

namespace tarnwick::win32 {

Text AccessibleValue(const TextStore& text) {
    return text.Substr(0, text.WholeCharacters(0, kValueCharacters));
}

BSTR MakeString(TextView text) {
    return SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()),
                             static_cast<UINT>(text.size()));
}

AccessibilityEntry::~AccessibilityEntry() {
    Disconnect();
}

// Clients may hold our objects longer than the view lives; from now on they answer that
// the element is gone.
void AccessibilityEntry::Disconnect() {
    if (provider_) {
        provider_->Disconnect();
        if (const UiaCoreLibrary* uia = UiaCore(); uia && uia->DisconnectProvider)
            uia->DisconnectProvider(provider_);
        provider_->Release();
        provider_ = nullptr;
    }
    if (accessible_) {
        accessible_->Disconnect();
        accessible_->Release();
        accessible_ = nullptr;
    }
}

bool AccessibilityEntry::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_GETOBJECT) {
        result = GetObject(wp, lp);
        return true;
    }
    if (msg == WM_DESTROY && provider_) {
        if (const UiaCoreLibrary* uia = UiaCore())
            uia->ReturnRawElementProvider(view_.Handle(), 0, 0, nullptr);  // releases its hold
    }
    return false;
}

IRawElementProviderSimple* AccessibilityEntry::Element() {
    if (!provider_) provider_ = new (std::nothrow) UiaProvider(view_, view_.Handle());
    if (provider_) provider_->AddRef();
    return provider_;
}

LRESULT AccessibilityEntry::GetObject(WPARAM wp, LPARAM lp) {
    const HWND hwnd = view_.Handle();
    const auto id = static_cast<LONG>(lp);
    if (id == uia::kRootObjectId) {
        const UiaCoreLibrary* uia = UiaCore();
        IRawElementProviderSimple* element = uia ? Element() : nullptr;
        if (!element) return 0;
        const LRESULT r = uia->ReturnRawElementProvider(hwnd, wp, lp, element);
        element->Release();
        return r;
    }
    if (id == OBJID_CLIENT) {
        const OleaccLibrary* oleacc = Oleacc();
        if (!oleacc) return 0;
        if (!accessible_) {
            IAccessible* standard = nullptr;
            if (FAILED(oleacc->CreateStdAccessible(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&standard))))
                return 0;
            accessible_ = new (std::nothrow) MsaaProvider(view_, standard);
            if (!accessible_) {
                standard->Release();
                return 0;
            }
        }
        const LRESULT r = oleacc->ResultFromObject(__uuidof(IAccessible), wp, accessible_);
        return SUCCEEDED(r) ? r : 0;
    }
    return DefWindowProcW(hwnd, WM_GETOBJECT, wp, lp);
}

void AccessibilityEntry::Flush() {
    const HWND hwnd = view_.Handle();
    const UiaCoreLibrary* uia = provider_ ? UiaCore() : nullptr;
    const bool uiaListens = uia && uia->ClientsAreListening();
    // Taken first: a client told of a change may ask again from inside the call.
    const bool textChanged = std::exchange(textChanged_, false);
    const bool selectionChanged = std::exchange(selectionChanged_, false);
    if (textChanged) {
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
        if (uiaListens) uia->RaiseAutomationEvent(provider_, uia::kTextChangedEvent);
    }
    if (selectionChanged) {
        NotifyWinEvent(EVENT_OBJECT_TEXTSELECTIONCHANGED, hwnd, OBJID_CLIENT, CHILDID_SELF);
        if (GetFocus() == hwnd)  // only the focused view has a caret
            NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, hwnd, OBJID_CARET, CHILDID_SELF);
        if (uiaListens) uia->RaiseAutomationEvent(provider_, uia::kTextSelectionChangedEvent);
    }
}

}  // namespace tarnwick::win32
