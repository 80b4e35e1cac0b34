#include "platform/win32/ResultBoxAccessible.h"

#include <oleauto.h>

#include "platform/win32/ResultBoxAccessibility.h"
#include "platform/win32/Win32ResultBox.h"

namespace tarnwick::win32 {

ResultBoxAccessible::~ResultBoxAccessible() {
    if (standard_) standard_->Release();
}

void ResultBoxAccessible::Disconnect() {
    view_ = nullptr;
    if (standard_) standard_->Release();
    standard_ = nullptr;
}

HRESULT ResultBoxAccessible::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(IAccessible))
        return E_NOINTERFACE;
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
}

ULONG ResultBoxAccessible::AddRef() {
    return InterlockedIncrement(&references_);
}

ULONG ResultBoxAccessible::Release() {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

HRESULT ResultBoxAccessible::Check(const VARIANT& child) const {
    if (!view_ || !standard_) return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return E_INVALIDARG;
    return S_OK;
}

// Late binding would reach the standard object's answers, not ours: not offered.
HRESULT ResultBoxAccessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}
HRESULT ResultBoxAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT ResultBoxAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
HRESULT ResultBoxAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                    UINT*) {
    return E_NOTIMPL;
}

HRESULT ResultBoxAccessible::get_accParent(IDispatch** parent) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->get_accParent(parent);
}

HRESULT ResultBoxAccessible::get_accChildCount(long* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return standard_ ? S_OK : RPC_E_DISCONNECTED;
}

HRESULT ResultBoxAccessible::get_accChild(VARIANT, IDispatch** object) {
    if (object) *object = nullptr;
    return standard_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
}

HRESULT ResultBoxAccessible::get_accName(VARIANT child, BSTR* name) {
    if (!name) return E_INVALIDARG;
    *name = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    *name = MakeString(kAccessibleName);
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResultBoxAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_INVALIDARG;
    *value = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return Guarded([&] {
        *value = MakeString(AccessibleValue(view_->Store()));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT ResultBoxAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (description) *description = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT ResultBoxAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_INVALIDARG;
    VariantInit(role);
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_TEXT;
    return S_OK;
}

// Read-only text that takes the focus; hidden and off-screen as the system sees them.
HRESULT ResultBoxAccessible::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_INVALIDARG;
    VariantInit(state);
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    VARIANT standard;
    VariantInit(&standard);
    long seen = 0;
    if (SUCCEEDED(standard_->get_accState(child, &standard)) && standard.vt == VT_I4)
        seen = standard.lVal &
               (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_UNAVAILABLE);
    state->vt = VT_I4;
    state->lVal = seen | STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE |
                  (GetFocus() == view_->Handle() ? STATE_SYSTEM_FOCUSED : 0);
    return S_OK;
}

HRESULT ResultBoxAccessible::get_accHelp(VARIANT child, BSTR* help) {
    if (help) *help = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT ResultBoxAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return standard_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT ResultBoxAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (shortcut) *shortcut = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT ResultBoxAccessible::get_accFocus(VARIANT* focus) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->get_accFocus(focus);
}

HRESULT ResultBoxAccessible::get_accSelection(VARIANT* selection) {
    if (!selection) return E_INVALIDARG;
    VariantInit(selection);
    return standard_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT ResultBoxAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (action) *action = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT ResultBoxAccessible::accSelect(long flags, VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return standard_->accSelect(flags, child);
}

HRESULT ResultBoxAccessible::accLocation(long* left, long* top, long* width, long* height,
                                         VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return standard_->accLocation(left, top, width, height, child);
}

HRESULT ResultBoxAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->accNavigate(direction, start, end);
}

HRESULT ResultBoxAccessible::accHitTest(long left, long top, VARIANT* child) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->accHitTest(left, top, child);
}

HRESULT ResultBoxAccessible::accDoDefaultAction(VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT ResultBoxAccessible::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT ResultBoxAccessible::put_accValue(VARIANT, BSTR) {
    return E_ACCESSDENIED;  // the listing is read-only
}

}  // namespace tarnwick::win32
