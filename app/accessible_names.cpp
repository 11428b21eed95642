#include "app/accessible_names.h"

#include <oleacc.h>
#include <new>

#include "transport/system_library.h"

namespace {

// Defined here: with MinGW for x86-64 the oleacc import library's IID_IAccessible is an import
// thunk, not the GUID, and the program does not link oleacc at all.
const IID ACCESSIBLE_IID = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const IID DISPATCH_IID = {0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID UNKNOWN_IID = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const CLSID PROPERTY_SERVICES_CLSID = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID PROPERTY_SERVICES_IID = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID LIVE_SETTING_PROPERTY = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
const LONG LIVE_SETTING_ASSERTIVE = 2;  // LiveSetting's Assertive: spoken at once

const char OLD_PROC_PROPERTY[] = "HalcyraNamedControlProc";
const char NAME_PROPERTY[] = "HalcyraAccessibleName";

typedef HRESULT(WINAPI *CreateStdAccessibleObjectFunction)(HWND, LONG, REFIID, void **);
typedef LRESULT(WINAPI *LresultFromObjectFunction)(REFIID, WPARAM, LPUNKNOWN);
typedef BSTR(WINAPI *SysAllocStringFunction)(const OLECHAR *);

typedef HRESULT(WINAPI *CoInitializeExFunction)(void *, DWORD);
typedef HRESULT(WINAPI *CoCreateInstanceFunction)(REFCLSID, LPUNKNOWN, DWORD, REFIID, void **);

// oleacc.dll and oleaut32.dll, loaded the first time a reader asks and kept for the rest of the
// process: the objects handed out run their code. The object is handed to the reader's process
// through COM, so the window's thread joins a single-threaded apartment then, for good.
struct AccessibilityFunctions {
    CreateStdAccessibleObjectFunction create_standard;
    LresultFromObjectFunction lresult_from_object;
    SysAllocStringFunction alloc_string;
    CoCreateInstanceFunction create_instance;
};

const AccessibilityFunctions *Functions()
{
    static AccessibilityFunctions functions = [] {
        AccessibilityFunctions found = {NULL, NULL, NULL, NULL};
        HMODULE oleacc = LoadSystemLibrary("oleacc.dll");
        HMODULE oleaut = LoadSystemLibrary("oleaut32.dll");
        HMODULE ole = LoadSystemLibrary("ole32.dll");
        if (!oleacc || !oleaut || !ole) return found;
        CoInitializeExFunction initialize = (CoInitializeExFunction)(void *)GetProcAddress(ole, "CoInitializeEx");
        // Already in an apartment (RPC_E_CHANGED_MODE) is as good.
        if (initialize) initialize(NULL, COINIT_APARTMENTTHREADED);
        found.create_standard =
            (CreateStdAccessibleObjectFunction)(void *)GetProcAddress(oleacc, "CreateStdAccessibleObject");
        found.lresult_from_object = (LresultFromObjectFunction)(void *)GetProcAddress(oleacc, "LresultFromObject");
        found.alloc_string = (SysAllocStringFunction)(void *)GetProcAddress(oleaut, "SysAllocString");
        found.create_instance = (CoCreateInstanceFunction)(void *)GetProcAddress(ole, "CoCreateInstance");
        return found;
    }();
    return functions.create_standard && functions.lresult_from_object && functions.alloc_string &&
                   functions.create_instance
               ? &functions
               : NULL;
}

// A reader may name the control itself by an empty child id, as by CHILDID_SELF.
bool IsSelf(const VARIANT &child)
{
    return child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF);
}

// The system's object for the control, with the name replaced. A COM object has to derive from
// its interface; everything but the name is passed to the system's object.
struct NamedAccessible final : IAccessible {
    LONG references;
    IAccessible *standard;
    const wchar_t *name;
    SysAllocStringFunction alloc_string;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, UNKNOWN_IID) || IsEqualIID(iid, DISPATCH_IID) || IsEqualIID(iid, ACCESSIBLE_IID)) {
            *object = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        return standard->QueryInterface(iid, object);  // IEnumVARIANT, IOleWindow: the control's own
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references);
        if (left == 0) {
            standard->Release();
            delete this;
        }
        return (ULONG)left;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *text) override
    {
        if (!IsSelf(child)) return standard->get_accName(child, text);
        if (!text) return E_POINTER;
        *text = alloc_string(name);
        return *text ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override { return standard->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override
    {
        return standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override
    {
        return standard->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS *parameters,
                                     VARIANT *result, EXCEPINFO *exception, UINT *wrong) override
    {
        return standard->Invoke(id, iid, locale, flags, parameters, result, exception, wrong);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override { return standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override { return standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **object) override
    {
        return standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        return standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *text) override
    {
        return standard->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        return standard->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        return standard->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *text) override
    {
        return standard->get_accHelp(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *text) override
    {
        return standard->get_accKeyboardShortcut(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *child) override { return standard->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *children) override
    {
        return standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *text) override
    {
        return standard->get_accDefaultAction(child, text);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return standard->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long *left, long *top, long *width, long *height, VARIANT child) override
    {
        return standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT *child) override
    {
        return standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return standard->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR text) override { return standard->put_accName(child, text); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return standard->put_accValue(child, value);
    }
};

// WM_GETOBJECT for the client object: the wrapped object, or 0 (the system then makes its own).
LRESULT AnswerGetObject(HWND control, WPARAM wParam)
{
    const wchar_t *name = (const wchar_t *)GetPropA(control, NAME_PROPERTY);
    const AccessibilityFunctions *functions = name ? Functions() : NULL;
    if (!functions) return 0;
    IAccessible *standard = NULL;
    if (functions->create_standard(control, OBJID_CLIENT, ACCESSIBLE_IID, (void **)&standard) != S_OK || !standard)
        return 0;
    NamedAccessible *named = new (std::nothrow) NamedAccessible;
    if (!named) {
        standard->Release();
        return 0;
    }
    named->references = 1;
    named->standard = standard;
    named->name = name;
    named->alloc_string = functions->alloc_string;
    LRESULT result = functions->lresult_from_object(ACCESSIBLE_IID, wParam, named);
    named->Release();  // the result holds its own reference
    // A failure is a COM error code, not an answer: the control's own answer is given instead.
    return FAILED((HRESULT)result) ? 0 : result;
}

LRESULT CALLBACK NamedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old_proc = (WNDPROC)GetPropA(control, OLD_PROC_PROPERTY);
    if (message == WM_GETOBJECT && (LONG)lParam == OBJID_CLIENT) {
        if (LRESULT result = AnswerGetObject(control, wParam)) return result;
    } else if (message == WM_NCDESTROY) {
        RemovePropA(control, NAME_PROPERTY);
        RemovePropA(control, OLD_PROC_PROPERTY);
        if (IsWindowUnicode(control)) SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)old_proc);
        else SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)old_proc);
    }
    // A wide control stays wide, so that text in any script passes through unchanged.
    if (IsWindowUnicode(control))
        return old_proc ? CallWindowProcW(old_proc, control, message, wParam, lParam)
                        : DefWindowProcW(control, message, wParam, lParam);
    return old_proc ? CallWindowProcA(old_proc, control, message, wParam, lParam)
                    : DefWindowProcA(control, message, wParam, lParam);
}

}  // namespace

void GiveAccessibleName(HWND control, const wchar_t *name)
{
    if (!control || GetPropA(control, OLD_PROC_PROPERTY)) return;
    SetPropA(control, NAME_PROPERTY, (HANDLE)name);
    if (IsWindowUnicode(control)) {
        SetPropA(control, OLD_PROC_PROPERTY, (HANDLE)GetWindowLongPtrW(control, GWLP_WNDPROC));
        SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)NamedControlProc);
        return;
    }
    SetPropA(control, OLD_PROC_PROPERTY, (HANDLE)GetWindowLongPtrA(control, GWLP_WNDPROC));
    SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)NamedControlProc);
}

bool MakeLiveRegion(HWND control)
{
    const AccessibilityFunctions *functions = control ? Functions() : NULL;
    IAccPropServices *services = NULL;
    if (!functions || functions->create_instance(PROPERTY_SERVICES_CLSID, NULL, CLSCTX_INPROC_SERVER,
                                                 PROPERTY_SERVICES_IID, (void **)&services) != S_OK || !services)
        return false;
    VARIANT setting;
    setting.vt = VT_I4;
    setting.lVal = LIVE_SETTING_ASSERTIVE;
    bool marked = services->SetHwndProp(control, (DWORD)OBJID_CLIENT, CHILDID_SELF, LIVE_SETTING_PROPERTY, setting) == S_OK;
    services->Release();  // the annotation stays with the control
    return marked;
}

void AnnounceNameChange(HWND control)
{
    if (control) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}
