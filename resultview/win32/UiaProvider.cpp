#include "resultview/win32/UiaProvider.h"

#include <oleauto.h>

#include <algorithm>
#include <vector>

#include "platform/win32/Wide.h"
#include "resultview/model/TextSearch.h"
#include "resultview/model/TextUnits.h"
#include "resultview/win32/AccessibilityEntry.h"
#include "resultview/win32/AccessibilityLibraries.h"
#include "resultview/win32/CaseFold.h"

namespace tarnwick::win32 {
namespace {

constexpr HRESULT kGone = uia::kElementNotAvailable;

// Asks a range whether it is one of ours, without trusting a foreign object's layout.
const IID kOurRange = {
    0x6b1f0c52, 0x2f0e, 0x4d55, {0x9a, 0x1e, 0x3c, 0x27, 0x5d, 0x0b, 0x71, 0x44}};

bool Known(::TextUnit unit) {
    return unit >= TextUnit_Character && unit <= TextUnit_Document;
}
TextUnit UnitOf(::TextUnit unit) {
    return static_cast<TextUnit>(unit);
}

HRESULT OutOfMemoryUnless(bool made) {
    return made ? S_OK : E_OUTOFMEMORY;
}

// A string of `length` units, left for the caller to fill. Grown from an empty one, as
// SysReAllocStringLen leaves the new units as they are, where Wine's SysAllocStringLen
// zeroes them all first: on the whole listing that is another 138 MB written.
BSTR UninitializedString(size_t length) {
    BSTR s = SysAllocStringLen(nullptr, 0);
    if (s && !SysReAllocStringLen(&s, nullptr, static_cast<UINT>(length))) {
        SysFreeString(s);
        return nullptr;
    }
    return s;
}

class TextRange final : public ITextRangeProvider {
  public:
    TextRange(UiaProvider& owner, TextSpan span) : owner_(owner), span_(span) { owner_.AddRef(); }

    static HRESULT Make(UiaProvider& owner, TextSpan span, ITextRangeProvider** range) {
        if (!range) return E_INVALIDARG;
        *range = new (std::nothrow) TextRange(owner, span);
        return OutOfMemoryUnless(*range != nullptr);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(ITextRangeProvider) && riid != kOurRange)
            return E_NOINTERFACE;
        *object = static_cast<ITextRangeProvider*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return references_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return references_.Release(this); }

    HRESULT STDMETHODCALLTYPE Clone(ITextRangeProvider** range) override {
        Clear(range);
        return With([&](TextSurface&) { return Make(owner_, span_, range); });
    }
    HRESULT STDMETHODCALLTYPE Compare(ITextRangeProvider* other, BOOL* same) override {
        Clear(same);
        return With([&](TextSurface& view) {
            const TextRange* o = Ours(other);
            if (!o || !same) return E_INVALIDARG;
            *same = Clamped(view) == o->Clamped(view);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE CompareEndpoints(TextPatternRangeEndpoint endpoint,
                                               ITextRangeProvider* target,
                                               TextPatternRangeEndpoint targetEndpoint,
                                               int* order) override {
        Clear(order);
        return With([&](TextSurface& view) {
            const TextRange* o = Ours(target);
            if (!o || !order) return E_INVALIDARG;
            const size_t mine = End(Clamped(view), endpoint);
            const size_t theirs = End(o->Clamped(view), targetEndpoint);
            *order = mine < theirs ? -1 : mine > theirs ? 1 : 0;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE ExpandToEnclosingUnit(::TextUnit unit) override {
        return With([&](TextSurface& view) {
            if (!Known(unit)) return E_INVALIDARG;
            span_ = Clamped(view);
            Units(view).ExpandToEnclosingUnit(span_, UnitOf(unit));
            return S_OK;
        });
    }
    // The only attribute is read-only, and the whole listing has it.
    HRESULT STDMETHODCALLTYPE FindAttribute(TEXTATTRIBUTEID attribute, VARIANT value, BOOL,
                                            ITextRangeProvider** found) override {
        Clear(found);
        return With([&](TextSurface&) {
            if (!found) return E_INVALIDARG;
            if (attribute == uia::kIsReadOnlyAttribute && value.vt == VT_BOOL &&
                value.boolVal == VARIANT_TRUE)
                return Make(owner_, span_, found);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE FindText(BSTR text, BOOL backward, BOOL ignoreCase,
                                       ITextRangeProvider** found) override {
        Clear(found);
        return With([&](TextSurface& view) {
            if (!found || !text) return E_INVALIDARG;
            const TextSpan span = Clamped(view);
            const TextView needle = FromW(text, SysStringLen(text));
            const TextSearch search(needle, ignoreCase ? UpperCase() : nullptr);
            const size_t at = search.Find(view.Store(), span.start, span.end, backward);
            if (at == TextSearch::kNone) return S_OK;
            return Make(owner_, {at, at + needle.size()}, found);
        });
    }
    HRESULT STDMETHODCALLTYPE GetAttributeValue(TEXTATTRIBUTEID attribute,
                                                VARIANT* value) override {
        if (value) VariantInit(value);
        return With([&](TextSurface&) {
            if (!value) return E_INVALIDARG;
            if (attribute == uia::kIsReadOnlyAttribute) {
                value->vt = VT_BOOL;
                value->boolVal = VARIANT_TRUE;
                return S_OK;
            }
            const UiaCoreLibrary* uia = UiaCore();
            if (!uia) return E_FAIL;
            value->vt = VT_UNKNOWN;
            return uia->GetReservedNotSupportedValue(&value->punkVal);
        });
    }
    HRESULT STDMETHODCALLTYPE GetBoundingRectangles(SAFEARRAY** rectangles) override {
        Clear(rectangles);
        return With([&](TextSurface& view) {
            if (!rectangles) return E_INVALIDARG;
            const std::vector<double> r = Rectangles(view, Clamped(view));
            *rectangles = SafeArrayCreateVector(VT_R8, 0, static_cast<ULONG>(r.size()));
            if (!*rectangles) return E_OUTOFMEMORY;
            for (LONG i = 0; i < static_cast<LONG>(r.size()); ++i) {
                double v = r[static_cast<size_t>(i)];
                SafeArrayPutElement(*rectangles, &i, &v);
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetEnclosingElement(IRawElementProviderSimple** element) override {
        Clear(element);
        return With([&](TextSurface&) {
            if (!element) return E_INVALIDARG;
            *element = &owner_;
            owner_.AddRef();
            return S_OK;
        });
    }
    // Reads only what is asked for, however long the range, straight into the string.
    HRESULT STDMETHODCALLTYPE GetText(int maxLength, BSTR* text) override {
        Clear(text);
        return With([&](TextSurface& view) {
            if (!text || maxLength < -1) return E_INVALIDARG;
            const TextSpan span = Clamped(view);
            size_t count = span.end - span.start;
            if (maxLength >= 0) count = std::min(count, static_cast<size_t>(maxLength));
            const TextStore& store = view.Store();
            count = store.WholeCharacters(span.start, count);
            *text = UninitializedString(count);
            if (*text) store.CopyTo(span.start, count, reinterpret_cast<char16_t*>(*text));
            return OutOfMemoryUnless(*text != nullptr);
        });
    }
    HRESULT STDMETHODCALLTYPE Move(::TextUnit unit, int count, int* moved) override {
        Clear(moved);
        return With([&](TextSurface& view) {
            if (!moved || !Known(unit)) return E_INVALIDARG;
            span_ = Clamped(view);
            *moved = Units(view).Move(span_, UnitOf(unit), count);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE MoveEndpointByUnit(TextPatternRangeEndpoint endpoint, ::TextUnit unit,
                                                 int count, int* moved) override {
        Clear(moved);
        return With([&](TextSurface& view) {
            if (!moved || !Known(unit)) return E_INVALIDARG;
            span_ = Clamped(view);
            *moved = Units(view).MoveEndpoint(span_, endpoint == TextPatternRangeEndpoint_End,
                                              UnitOf(unit), count);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE
    MoveEndpointByRange(TextPatternRangeEndpoint endpoint, ITextRangeProvider* target,
                        TextPatternRangeEndpoint targetEndpoint) override {
        return With([&](TextSurface& view) {
            const TextRange* o = Ours(target);
            if (!o) return E_INVALIDARG;
            span_ = Clamped(view);
            const size_t to = End(o->Clamped(view), targetEndpoint);
            if (endpoint == TextPatternRangeEndpoint_Start) {
                span_ = {to, std::max(to, span_.end)};
            } else {
                span_ = {std::min(to, span_.start), to};
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Select() override {
        return With([&](TextSurface& view) {
            const TextSpan span = Clamped(view);
            view.Select(span.start, span.end);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE AddToSelection() override {
        return uia::kInvalidOperation;  // one selection only
    }
    HRESULT STDMETHODCALLTYPE RemoveFromSelection() override { return uia::kInvalidOperation; }
    HRESULT STDMETHODCALLTYPE ScrollIntoView(BOOL alignToTop) override {
        return With([&](TextSurface& view) {
            const TextSpan span = Clamped(view);
            view.ScrollIntoView(span.start, span.end, alignToTop != FALSE);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetChildren(SAFEARRAY** children) override {
        Clear(children);
        return With([&](TextSurface&) {
            if (!children) return E_INVALIDARG;
            *children = SafeArrayCreateVector(VT_UNKNOWN, 0, 0);
            return OutOfMemoryUnless(*children != nullptr);
        });
    }

  private:
    ~TextRange() { owner_.Release(); }

    // Every out-parameter holds nothing until there is something to give.
    template <class T>
    static void Clear(T* out) {
        if (out) *out = T{};
    }

    template <class Body>
    HRESULT With(Body&& body) {
        TextSurface* view = owner_.View();
        if (!view) return kGone;
        return Guarded([&] { return body(*view); });
    }

    // A range of the same view, or null.
    const TextRange* Ours(ITextRangeProvider* range) const {
        void* ours = nullptr;
        if (!range || FAILED(range->QueryInterface(kOurRange, &ours))) return nullptr;
        auto* r = static_cast<TextRange*>(static_cast<ITextRangeProvider*>(ours));
        r->Release();  // the caller holds the range
        return &r->owner_ == &owner_ ? r : nullptr;
    }
    static size_t End(TextSpan span, TextPatternRangeEndpoint endpoint) {
        return endpoint == TextPatternRangeEndpoint_Start ? span.start : span.end;
    }
    // The text may have changed since the range was made.
    TextSpan Clamped(TextSurface& view) const {
        const size_t length = view.Store().Length();
        return {std::min(span_.start, length), std::min(span_.end, length)};
    }
    static TextUnits Units(TextSurface& view) {
        return TextUnits(view.Store(), view.VisibleLines());
    }

    // One rectangle (left, top, width, height on the screen) per visible line of the range.
    static std::vector<double> Rectangles(TextSurface& view, TextSpan span) {
        std::vector<double> out;
        const TextStore& text = view.Store();
        const size_t top = view.FirstVisibleLine();
        const size_t first = std::max(text.LineOf(span.start), top);
        const size_t last = std::min(text.LineOf(span.end), top + view.VisibleLines() - 1);
        for (size_t line = first; line <= last && line < text.LineCount(); ++line) {
            const size_t start = text.LineStart(line), end = start + text.LineLength(line);
            const size_t from = std::max(span.start, start), to = std::min(span.end, end);
            if (from > to || (from == to && span.start != span.end)) continue;
            const ScreenPoint a = view.ScreenPointOf(from), b = view.ScreenPointOf(to);
            out.insert(out.end(),
                       {double(a.x), double(a.y), double(b.x - a.x), double(view.LineHeight())});
        }
        return out;
    }

    friend class win32::ComReferences;  // deletes it with its last reference
    ComReferences references_;
    UiaProvider& owner_;
    TextSpan span_;
};

HRESULT OneRange(UiaProvider& owner, TextSpan span, SAFEARRAY** ranges) {
    if (!ranges) return E_INVALIDARG;
    *ranges = nullptr;
    ITextRangeProvider* range = nullptr;
    const HRESULT made = TextRange::Make(owner, span, &range);
    if (FAILED(made)) return made;
    *ranges = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    if (*ranges) {
        LONG i = 0;
        SafeArrayPutElement(*ranges, &i, range);  // holds its own reference
    }
    range->Release();
    return OutOfMemoryUnless(*ranges != nullptr);
}

}  // namespace

HRESULT UiaProvider::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IRawElementProviderSimple)) {
        *object = static_cast<IRawElementProviderSimple*>(this);
    } else if (riid == __uuidof(ITextProvider)) {
        *object = static_cast<ITextProvider*>(this);
    } else if (riid == __uuidof(IValueProvider)) {
        *object = static_cast<IValueProvider*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT UiaProvider::get_ProviderOptions(ProviderOptions* options) {
    if (!options) return E_INVALIDARG;
    // Called in the view's own apartment, on its thread, as COM's rules would have it.
    *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider |
                                            ProviderOptions_UseComThreading);
    return S_OK;
}

HRESULT UiaProvider::GetPatternProvider(PATTERNID pattern, IUnknown** provider) {
    if (!provider) return E_INVALIDARG;
    *provider = nullptr;
    if (!view_) return kGone;
    if (pattern == UIA_TextPatternId) *provider = static_cast<ITextProvider*>(this);
    if (pattern == UIA_ValuePatternId) *provider = static_cast<IValueProvider*>(this);
    if (*provider) AddRef();
    return S_OK;
}

HRESULT UiaProvider::GetPropertyValue(PROPERTYID property, VARIANT* value) {
    if (!value) return E_INVALIDARG;
    VariantInit(value);
    if (!view_) return kGone;
    return Guarded([&] {
        auto boolean = [value](bool b) {
            value->vt = VT_BOOL;
            value->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        };
        auto string = [value](TextView s) {
            value->vt = VT_BSTR;
            value->bstrVal = MakeString(s);
        };
        switch (property) {
            case UIA_ControlTypePropertyId:
                value->vt = VT_I4;
                value->lVal = uia::kDocumentControlType;
                break;
            case UIA_NamePropertyId:
                string(kAccessibleName);
                break;
            case UIA_AutomationIdPropertyId:
                string(u"txtResult");
                break;
            case UIA_IsKeyboardFocusablePropertyId:
            case UIA_IsTextPatternAvailablePropertyId:
            case UIA_IsValuePatternAvailablePropertyId:
            case UIA_ValueIsReadOnlyPropertyId:
                boolean(true);
                break;
            case UIA_HasKeyboardFocusPropertyId:
                boolean(view_->HasFocus());
                break;
            case UIA_ValueValuePropertyId:
                string(AccessibleValue(view_->Store()));
                break;
        }
        return value->vt == VT_BSTR && !value->bstrVal ? E_OUTOFMEMORY : S_OK;
    });
}

HRESULT UiaProvider::get_HostRawElementProvider(IRawElementProviderSimple** host) {
    if (!host) return E_INVALIDARG;
    *host = nullptr;
    if (!view_) return kGone;
    const UiaCoreLibrary* uia = UiaCore();
    return uia ? uia->HostProviderFromHwnd(host_, host) : E_FAIL;
}

HRESULT UiaProvider::GetSelection(SAFEARRAY** ranges) {
    if (ranges) *ranges = nullptr;
    if (!view_) return kGone;
    return Guarded([&] {
        const TextStore& text = view_->Store();
        return OneRange(*this, {text.SelStart(), text.SelEnd()}, ranges);
    });
}

HRESULT UiaProvider::GetVisibleRanges(SAFEARRAY** ranges) {
    if (ranges) *ranges = nullptr;
    if (!view_) return kGone;
    return Guarded([&] {
        const TextStore& text = view_->Store();
        const size_t top = view_->FirstVisibleLine();
        const size_t after = top + view_->VisibleLines();
        const size_t end = after < text.LineCount() ? text.LineStart(after) : text.Length();
        return OneRange(*this, {text.LineStart(top), end}, ranges);
    });
}

HRESULT UiaProvider::RangeFromChild(IRawElementProviderSimple*, ITextRangeProvider** range) {
    if (range) *range = nullptr;
    return view_ ? E_INVALIDARG : kGone;  // the view has no children
}

HRESULT UiaProvider::RangeFromPoint(UiaPoint point, ITextRangeProvider** range) {
    if (range) *range = nullptr;
    if (!view_) return kGone;
    return Guarded([&] {
        // Any point, however far off the screen, lands on the nearest character.
        auto coordinate = [](double v) {
            return static_cast<LONG>(v > -1e6 ? (v < 1e6 ? v : 1e6) : -1e6);  // NaN too
        };
        const size_t at = view_->CharAtScreen({coordinate(point.x), coordinate(point.y)});
        return TextRange::Make(*this, {at, at}, range);
    });
}

HRESULT UiaProvider::get_DocumentRange(ITextRangeProvider** range) {
    if (range) *range = nullptr;
    if (!view_) return kGone;
    return Guarded([&] { return TextRange::Make(*this, {0, view_->Store().Length()}, range); });
}

HRESULT UiaProvider::get_SupportedTextSelection(SupportedTextSelection* kind) {
    if (!kind) return E_INVALIDARG;
    *kind = SupportedTextSelection_Single;
    return view_ ? S_OK : kGone;
}

HRESULT UiaProvider::SetValue(LPCWSTR) {
    return view_ ? uia::kElementNotEnabled : kGone;  // read-only
}

HRESULT UiaProvider::get_Value(BSTR* value) {
    if (!value) return E_INVALIDARG;
    *value = nullptr;
    if (!view_) return kGone;
    return Guarded([&] {
        *value = MakeString(AccessibleValue(view_->Store()));
        return OutOfMemoryUnless(*value != nullptr);
    });
}

HRESULT UiaProvider::get_IsReadOnly(BOOL* readOnly) {
    if (!readOnly) return E_INVALIDARG;
    *readOnly = TRUE;
    return view_ ? S_OK : kGone;
}

}  // namespace tarnwick::win32
