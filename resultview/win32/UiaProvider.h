#pragma once
// The result box as UI Automation sees it: a read-only document with the Text pattern
// (ranges that move by character, word, line, paragraph, page and the whole text, and
// never copy more of the listing than they are asked for) and the Value pattern.
#include "resultview/win32/UiaDeclarations.h"

#include "resultview/model/TextSurface.h"
#include "resultview/win32/ComReferences.h"

namespace tarnwick::win32 {

class UiaProvider final : public IRawElementProviderSimple,
                          public ITextProvider,
                          public IValueProvider {
  public:
    // `host` is the window the view is drawn in, for the system's own element of it.
    UiaProvider(TextSurface& view, HWND host) : view_(&view), host_(host) {}
    // The view is going: every call from now on answers that the element is gone.
    void Disconnect() { view_ = nullptr; }
    TextSurface* View() const { return view_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return references_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return references_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override;
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** provider) override;
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override;

    HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** ranges) override;
    HRESULT STDMETHODCALLTYPE GetVisibleRanges(SAFEARRAY** ranges) override;
    HRESULT STDMETHODCALLTYPE RangeFromChild(IRawElementProviderSimple* child,
                                             ITextRangeProvider** range) override;
    HRESULT STDMETHODCALLTYPE RangeFromPoint(UiaPoint point, ITextRangeProvider** range) override;
    HRESULT STDMETHODCALLTYPE get_DocumentRange(ITextRangeProvider** range) override;
    HRESULT STDMETHODCALLTYPE get_SupportedTextSelection(SupportedTextSelection* kind) override;

    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) override;

  private:
    ~UiaProvider() = default;
    friend class ComReferences;  // deletes it with its last reference
    ComReferences references_;
    TextSurface* view_;
    HWND host_;
};

}  // namespace tarnwick::win32
