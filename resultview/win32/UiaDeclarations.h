#pragma once
// The UI Automation text and value interfaces, which the MinGW-w64 headers of Debian 12
// lack, declared as the Windows SDK's uiautomationcore.h declares them (same identifiers,
// method order and layout); newer headers that have them are used as they are.
#include <windows.h>

#include <ole2.h>
#include <uiautomationclient.h>  // the property and pattern identifiers
#include <uiautomationcore.h>

#ifndef __ITextRangeProvider_INTERFACE_DEFINED__
#define __ITextRangeProvider_INTERFACE_DEFINED__

enum TextUnit {
    TextUnit_Character = 0,
    TextUnit_Format = 1,
    TextUnit_Word = 2,
    TextUnit_Line = 3,
    TextUnit_Paragraph = 4,
    TextUnit_Page = 5,
    TextUnit_Document = 6
};
enum TextPatternRangeEndpoint {
    TextPatternRangeEndpoint_Start = 0,
    TextPatternRangeEndpoint_End = 1
};
enum SupportedTextSelection {
    SupportedTextSelection_None = 0,
    SupportedTextSelection_Single = 1,
    SupportedTextSelection_Multiple = 2
};
struct UiaPoint {
    double x;
    double y;
};

MIDL_INTERFACE("5347ad7b-c355-46f8-aff5-909033582f63")
ITextRangeProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Clone(ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compare(ITextRangeProvider * range, BOOL * pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareEndpoints(
        TextPatternRangeEndpoint endpoint, ITextRangeProvider * targetRange,
        TextPatternRangeEndpoint targetEndpoint, int* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExpandToEnclosingUnit(TextUnit unit) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAttribute(
        TEXTATTRIBUTEID attributeId, VARIANT val, BOOL backward, ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindText(BSTR text, BOOL backward, BOOL ignoreCase,
                                               ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeValue(TEXTATTRIBUTEID attributeId,
                                                        VARIANT * pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoundingRectangles(SAFEARRAY * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEnclosingElement(IRawElementProviderSimple * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetText(int maxLength, BSTR* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(TextUnit unit, int count, int* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEndpointByUnit(
        TextPatternRangeEndpoint endpoint, TextUnit unit, int count, int* pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEndpointByRange(
        TextPatternRangeEndpoint endpoint, ITextRangeProvider * targetRange,
        TextPatternRangeEndpoint targetEndpoint) = 0;
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE ScrollIntoView(BOOL alignToTop) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChildren(SAFEARRAY * *pRetVal) = 0;
};
__CRT_UUID_DECL(ITextRangeProvider, 0x5347ad7b, 0xc355, 0x46f8, 0xaf, 0xf5, 0x90, 0x90, 0x33, 0x58,
                0x2f, 0x63)

MIDL_INTERFACE("3589c92c-63f3-4367-99bb-ada653b77cf2")
ITextProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVisibleRanges(SAFEARRAY * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE RangeFromChild(IRawElementProviderSimple * childElement,
                                                     ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE RangeFromPoint(UiaPoint point,
                                                     ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DocumentRange(ITextRangeProvider * *pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SupportedTextSelection(SupportedTextSelection *
                                                                 pRetVal) = 0;
};
__CRT_UUID_DECL(ITextProvider, 0x3589c92c, 0x63f3, 0x4367, 0x99, 0xbb, 0xad, 0xa6, 0x53, 0xb7, 0x7c,
                0xf2)

MIDL_INTERFACE("d847d3a5-cab0-4a98-8c32-ecb45c59ad24")
IValueProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR val) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR * pRetVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL * pRetVal) = 0;
};
__CRT_UUID_DECL(IValueProvider, 0xd847d3a5, 0xcab0, 0x4a98, 0x8c, 0x32, 0xec, 0xb4, 0x5c, 0x59,
                0xad, 0x24)

#endif

namespace tarnwick::win32::uia {

// Identifiers the same headers lack (uiautomationcoreapi.h, which has a few of them, does
// not compile as C++ there).
constexpr HRESULT kElementNotEnabled = static_cast<HRESULT>(0x80040200);
constexpr HRESULT kElementNotAvailable = static_cast<HRESULT>(0x80040201);
constexpr HRESULT kInvalidOperation = static_cast<HRESULT>(0x80131509);
constexpr EVENTID kTextSelectionChangedEvent = 20014;
constexpr EVENTID kTextChangedEvent = 20015;
constexpr TEXTATTRIBUTEID kIsReadOnlyAttribute = 40015;
constexpr CONTROLTYPEID kDocumentControlType = 50030;
constexpr LONG kRootObjectId = -25;

}  // namespace tarnwick::win32::uia
