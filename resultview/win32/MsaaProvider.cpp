#include "resultview/win32/MsaaProvider.h"

#include <oleauto.h>

#include "resultview/win32/AccessibilityEntry.h"

namespace tarnwick::win32 {

MsaaProvider::~MsaaProvider() {
    if (standard_) standard_->Release();
}

void MsaaProvider::Disconnect() {
    view_ = nullptr;
    if (standard_) standard_->Release();
    standard_ = nullptr;
}

HRESULT MsaaProvider::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(IAccessible))
        return E_NOINTERFACE;
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
}

HRESULT MsaaProvider::Check(const VARIANT& child) const {
    if (!view_ || !standard_) return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return E_INVALIDARG;
    return S_OK;
}

// Late binding would reach the standard object's answers, not ours: not offered.
HRESULT MsaaProvider::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}
HRESULT MsaaProvider::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT MsaaProvider::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
HRESULT MsaaProvider::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT MsaaProvider::get_accParent(IDispatch** parent) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->get_accParent(parent);
}

HRESULT MsaaProvider::get_accChildCount(long* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return standard_ ? S_OK : RPC_E_DISCONNECTED;
}

HRESULT MsaaProvider::get_accChild(VARIANT, IDispatch** object) {
    if (object) *object = nullptr;
    return standard_ ? E_INVALIDARG : RPC_E_DISCONNECTED;
}

HRESULT MsaaProvider::get_accName(VARIANT child, BSTR* name) {
    if (!name) return E_INVALIDARG;
    *name = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    *name = MakeString(kAccessibleName);
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT MsaaProvider::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_INVALIDARG;
    *value = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return Guarded([&] {
        *value = MakeString(AccessibleValue(view_->Store()));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT MsaaProvider::get_accDescription(VARIANT child, BSTR* description) {
    if (description) *description = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT MsaaProvider::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_INVALIDARG;
    VariantInit(role);
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_TEXT;
    return S_OK;
}

// Read-only text that takes the focus; hidden and off-screen as the system sees them.
HRESULT MsaaProvider::get_accState(VARIANT child, VARIANT* state) {
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
                  (view_->HasFocus() ? STATE_SYSTEM_FOCUSED : 0);
    return S_OK;
}

HRESULT MsaaProvider::get_accHelp(VARIANT child, BSTR* help) {
    if (help) *help = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT MsaaProvider::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return standard_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT MsaaProvider::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (shortcut) *shortcut = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT MsaaProvider::get_accFocus(VARIANT* focus) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->get_accFocus(focus);
}

HRESULT MsaaProvider::get_accSelection(VARIANT* selection) {
    if (!selection) return E_INVALIDARG;
    VariantInit(selection);
    return standard_ ? S_FALSE : RPC_E_DISCONNECTED;
}

HRESULT MsaaProvider::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (action) *action = nullptr;
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return S_FALSE;
}

HRESULT MsaaProvider::accSelect(long flags, VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return standard_->accSelect(flags, child);
}

HRESULT MsaaProvider::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return standard_->accLocation(left, top, width, height, child);
}

HRESULT MsaaProvider::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->accNavigate(direction, start, end);
}

HRESULT MsaaProvider::accHitTest(long left, long top, VARIANT* child) {
    if (!standard_) return RPC_E_DISCONNECTED;
    return standard_->accHitTest(left, top, child);
}

HRESULT MsaaProvider::accDoDefaultAction(VARIANT child) {
    if (const HRESULT checked = Check(child); FAILED(checked)) return checked;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT MsaaProvider::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT MsaaProvider::put_accValue(VARIANT, BSTR) {
    return E_ACCESSDENIED;  // the listing is read-only
}

}  // namespace tarnwick::win32
