// e2e_driver: looks at and drives the running remote's main window from another process, for
// tests/e2e/run_e2e.sh and tools/run.sh. Every wait is bounded.
//
//   e2e_driver wait-window SECONDS      main window visible with its 39 controls; prints "hwnd pid"
//   e2e_driver wait-gone SECONDS        no main window any more
//   e2e_driver check-layout [ADDRESS] [--popout] [--dpi N]
//                                       caption, client size and all 39 controls (class, id, rectangle,
//                                       style, text, font); ADDRESS is the address field's text; the
//                                       client is that of the template, or with --popout holds the keypad;
//                                       with --dpi rectangles and font are those of N dpi (within a pixel)
//                                       and the whole keypad lies inside the client area
//   e2e_driver dpi-change NEW OLD       sends WM_DPICHANGED for NEW dpi, with the window's rectangle
//                                       scaled by NEW/OLD as the suggestion, from inside the program;
//                                       checks that the window took it, that the controls follow at NEW
//                                       and that the previous font is deleted
//   e2e_driver dump                     one line per control, as seen
//   e2e_driver rect                     "left top right bottom width height clientW clientH"
//   e2e_driver set-text ID TEXT         WM_SETTEXT to the control with that id
//   e2e_driver get-text ID              prints the control's text
//   e2e_driver command WPARAM           sends WM_COMMAND (bounded); prints the result
//   e2e_driver post-command WPARAM      posts WM_COMMAND
//   e2e_driver answers MS               fails when the window answers no sent message within MS
//   e2e_driver send-message MSG WPARAM LPARAM   sends a message (bounded); prints the result
//   e2e_driver expect-message-box TEXT CAPTION SECONDS   finds the modal box owned by the main
//                                       window, checks it (TEXT * takes any text) and presses OK
//   e2e_driver no-message-box           fails when a box owned by the main window is open
//   e2e_driver focus                    prints "ID INDEX" of the focused control (INDEX 1..39 in
//                                       creation order), or "0 0" when none has the focus
//   e2e_driver wait-focus ID INDEX SECONDS   waits until that control has the focus; prints the focus
//   e2e_driver center ID                screen coordinates "x y" of the control's centre (the
//                                       push button, not the group box, for 1048)
//   e2e_driver close                    posts WM_CLOSE and waits (10 s) until the window is gone
//   e2e_driver wait-red ID yes|no SECONDS   waits until more than half (yes) or none (no) of the
//                                       control's pixels on the screen are red; prints "RED TOTAL"
//   e2e_driver list ID                  prints the list box's items, one a line
//   e2e_driver item-center ID INDEX     screen coordinates "x y" of the list box item's centre
//   e2e_driver --in CAPTION COMMAND ... the command acts on the window owned by the main window with
//                                       that caption (waiting up to 10 s for it) instead of the main window
//   e2e_driver wait-tip SECONDS         waits for a tooltip of the program on the screen; prints its text
//   e2e_driver ex-style                 the main window's extended style, 0x hexadecimal
//   e2e_driver menu-state ITEM          "checked", "unchecked" or "missing": the system menu item
//   e2e_driver acc-name ID              "NAME|SHORTCUT": the control's accessible name and keyboard
//                                       shortcut, as a screen reader reads them (Active Accessibility)
//   e2e_driver name-event ID WPARAM SECONDS   posts WM_COMMAND WPARAM and waits until the control
//                                       raises a name change (a WinEvent hook); prints its text
//   e2e_driver inside                   every control lies inside the client area, and every static's
//                                       text fits its rectangle whole in the control's own font
//   e2e_driver instances                "COUNT ICONIC FRONT": the top-level windows of the main window's
//                                       class; whether the first is minimised and is the foreground window
//   e2e_driver hold-front SECONDS [MODS VK]   another program in front: a window of its own takes the
//                                       focus and keeps it for SECONDS, first holding the hot key MODS+VK
//                                       if given; prints "hotkey OK|ERR CODE", "front 1|0", and "pressed"
//                                       for each press of its hot key, each line as it happens
// Numbers may be decimal or 0x hexadecimal. Exit code 0 on success, 1 on a failed check,
// 2 on a usage error.
//
// The same source built with E2E_PROBE_DLL is e2e_probe.dll: a message hook that the driver
// places in the remote's UI thread to read the controls' font (a font handle means something
// only inside the process that made it).
#include <windows.h>
#include <oleacc.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/keypad.h"
#include "keys/keys.h"
#include "app/window_ids.h"
#include "tests/support/dpi_aware.h"

namespace {

const char PROBE_MESSAGE_NAME[] = "HalcyraE2EFontProbe";

}  // namespace

#ifdef E2E_PROBE_DLL

// WH_GETMESSAGE hook in the remote's UI thread. On the probe message (wParam = the driver's reply
// window) it reports, for each child of the main window in order, "id height weight italic
// charset stock face font" and sends the lines back with WM_COPYDATA. A nonzero lParam
// (new dpi, old dpi) first sends the window WM_DPICHANGED with its rectangle scaled by new/old,
// and adds the line "old-font TYPE": what GetObjectType says of the first control's font before.
// A request with only its low word (a system menu item) reports just "menu STATE" of that item.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probe_message = RegisterWindowMessageA(PROBE_MESSAGE_NAME);
    MSG *msg = (MSG *)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && msg->message == probe_message) {
        HWND reply = (HWND)msg->wParam;
        HWND main_window = msg->hwnd;
        std::string report;
        HFONT old_font = NULL;
        bool menu_request = msg->lParam && !HIWORD(msg->lParam);
        if (msg->lParam && !menu_request) {
            int new_dpi = LOWORD(msg->lParam), old_dpi = HIWORD(msg->lParam);
            old_font = (HFONT)SendMessageA(GetWindow(main_window, GW_CHILD), WM_GETFONT, 0, 0);
            RECT r;
            GetWindowRect(main_window, &r);
            r.right = r.left + MulDiv(r.right - r.left, new_dpi, old_dpi);
            r.bottom = r.top + MulDiv(r.bottom - r.top, new_dpi, old_dpi);
            SendMessageA(main_window, WM_DPICHANGED, MAKEWPARAM(new_dpi, new_dpi), (LPARAM)&r);
        }
        HFONT stock[3] = {(HFONT)GetStockObject(SYSTEM_FONT), (HFONT)GetStockObject(DEFAULT_GUI_FONT),
                          (HFONT)GetStockObject(ANSI_VAR_FONT)};
        for (HWND child = GetWindow(main_window, GW_CHILD); child && !menu_request; child = GetWindow(child, GW_HWNDNEXT)) {
            HFONT font = (HFONT)SendMessageA(child, WM_GETFONT, 0, 0);
            LOGFONTA lf = {};
            int got = font ? GetObjectA(font, sizeof(lf), &lf) : 0;
            int is_stock = font == stock[0] || font == stock[1] || font == stock[2];
            char line[160];
            wsprintfA(line, "%d %ld %ld %d %d %d %d %s\n", GetDlgCtrlID(child), got ? lf.lfHeight : 0,
                      got ? lf.lfWeight : 0, got ? lf.lfItalic : 0, got ? lf.lfCharSet : 0, is_stock,
                      (int)(INT_PTR)font, got ? lf.lfFaceName : "-");
            report += line;
        }
        if (menu_request) {
            char line[40];
            wsprintfA(line, "menu %d\n", (int)GetMenuState(GetSystemMenu(main_window, FALSE), LOWORD(msg->lParam), MF_BYCOMMAND));
            report += line;
        }
        if (old_font) {
            char line[40];
            wsprintfA(line, "old-font %lu\n", GetObjectType(old_font));
            report += line;
        }
        COPYDATASTRUCT data = {0x48414c43, (DWORD)report.size() + 1, (void *)report.c_str()};
        DWORD_PTR ignored;
        SendMessageTimeoutA(reply, WM_COPYDATA, (WPARAM)main_window, (LPARAM)&data, SMTO_NORMAL, 5000, &ignored);
        msg->message = WM_NULL;  // consumed here
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

#else  // the driver

namespace {

const char MAIN_CAPTION[] = "Halcyra Remote Control";
const DWORD SEND_TIMEOUT_MS = 10000;

// The style each kind of control is created with, written out here apart from the program;
// the table's extra style bits come on top.
const DWORD BUTTON = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP
const DWORD EDIT = 0x50810000;    // WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP
const DWORD STATIC = 0x50000000;  // WS_CHILD | WS_VISIBLE
const int ADDRESS_FIELD_ID = 1044;

// What the main window's controls must be, in creation order: the program's own keypad table.
const char *ClassOfKind(KeypadKind kind)
{
    return kind == KEYPAD_STATIC ? "Static" : kind == KEYPAD_EDIT ? "Edit" : "Button";
}

DWORD StyleOf(const KeypadControl &control)
{
    DWORD base = control.kind == KEYPAD_STATIC ? STATIC : control.kind == KEYPAD_EDIT ? EDIT : BUTTON;
    return base | control.extra_style;
}

// The text a control shows: its label; the address field the given address (NULL: not checked);
// the free-text field none.
const char *TextOf(const KeypadControl &control, const char *address)
{
    if (control.label) return control.label;
    if (const KeyCommandRow *row = FindKeyCommandRow((unsigned)control.id)) return row->label;
    return control.id == ADDRESS_FIELD_ID ? address : "";
}

int g_Failures = 0;

void Fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::printf("e2e_driver: ");
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    ++g_Failures;
}

bool ParseNumber(const char *text, unsigned long *value)
{
    char *end = NULL;
    *value = std::strtoul(text, &end, 0);
    return end && end != text && *end == '\0';
}

HWND FindMain() { return FindWindowA(REMOTE_WINDOW_CLASS, NULL); }

HWND RequireMain()
{
    HWND main_window = FindMain();
    if (!main_window) Fail("no window of class %s", REMOTE_WINDOW_CLASS);
    return main_window;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child && children.size() < 200;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool ReadText(HWND window, std::string *text)
{
    char buffer[4096] = {0};  // the key list's text whole
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), (LPARAM)buffer, SMTO_NORMAL,
                             SEND_TIMEOUT_MS, &length))
        return false;
    text->assign(buffer, length < sizeof(buffer) ? length : sizeof(buffer) - 1);
    return true;
}

std::string ClassOf(HWND window)
{
    char name[64] = {0};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string Escaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

RECT ClientRectOf(HWND child, HWND parent)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, (POINT *)&rect, 2);
    return rect;
}

// The child with this id; for 1048 the push button rather than the group box.
HWND ControlById(HWND main_window, int id)
{
    for (HWND child : Children(main_window)) {
        if (GetDlgCtrlID(child) != id) continue;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (ClassOf(child) == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX) continue;
        return child;
    }
    return NULL;
}

// Client size of a window made from the same template as the main window (style, 80 x 226
// dialog units, 12 point Arial), in this environment.
bool TemplateClientSize(SIZE *size)
{
    std::vector<WORD> words(256, 0);
    DLGTEMPLATE *head = (DLGTEMPLATE *)words.data();
    head->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT;
    head->cdit = 0;
    head->x = 50;
    head->y = 50;
    head->cx = 80;
    head->cy = 226;
    size_t at = sizeof(DLGTEMPLATE) / sizeof(WORD);
    words[at++] = 0;  // no menu
    words[at++] = 0;  // standard dialog class
    words[at++] = 0;  // no caption
    words[at++] = 12;
    for (const char *face = "Arial";; ++face) {
        words[at++] = (WORD)(unsigned char)*face;
        if (!*face) break;
    }
    HWND probe = CreateDialogIndirectParamA(GetModuleHandleA(NULL), head, NULL, NULL, 0);
    if (!probe) return false;
    RECT client;
    GetClientRect(probe, &client);
    DestroyWindow(probe);
    size->cx = client.right;
    size->cy = client.bottom;
    return true;
}

// Reply window of the font probe.
std::string g_ProbeReport;
bool g_ProbeAnswered = false;

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *data = (const COPYDATASTRUCT *)lParam;
        if (data && data->lpData && data->cbData)
            g_ProbeReport.assign((const char *)data->lpData, data->cbData - 1);
        g_ProbeAnswered = true;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// This thread's messages (replies, WinEvents) handled until *done or the time is out.
void PumpMessagesUntil(const bool *done, DWORD limit_ms)
{
    DWORD start = GetTickCount();
    while (!*done && GetTickCount() - start < limit_ms) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

// Asks the probe hook inside the remote's UI thread for the controls' fonts.
bool ProbeFonts(HWND main_window, std::vector<std::string> *lines, LPARAM request = 0)
{
    char own[MAX_PATH] = {0};
    DWORD length = GetModuleFileNameA(NULL, own, MAX_PATH);
    std::string dll(own, length);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "e2e_probe.dll";
    HMODULE probe = LoadLibraryA(dll.c_str());
    if (!probe) {
        Fail("cannot load %s", dll.c_str());
        return false;
    }
    HOOKPROC hook_proc = (HOOKPROC)(void *)GetProcAddress(probe, "ProbeGetMessageHook");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "HalcyraE2EReply";
    RegisterClassA(&wc);
    HWND reply = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    DWORD thread = GetWindowThreadProcessId(main_window, NULL);
    HHOOK hook = hook_proc && reply ? SetWindowsHookExA(WH_GETMESSAGE, hook_proc, probe, thread) : NULL;
    if (hook) {
        g_ProbeAnswered = false;
        PostMessageA(main_window, RegisterWindowMessageA(PROBE_MESSAGE_NAME), (WPARAM)reply, request);
        PumpMessagesUntil(&g_ProbeAnswered, SEND_TIMEOUT_MS);
        UnhookWindowsHookEx(hook);
    }
    if (reply) DestroyWindow(reply);
    FreeLibrary(probe);
    if (!hook) {
        Fail("cannot place the font probe (error %lu)", GetLastError());
        return false;
    }
    if (!g_ProbeAnswered) {
        Fail("the font probe did not answer within %lu ms", SEND_TIMEOUT_MS);
        return false;
    }
    size_t from = 0;
    while (from < g_ProbeReport.size()) {
        size_t end = g_ProbeReport.find('\n', from);
        if (end == std::string::npos) end = g_ProbeReport.size();
        lines->push_back(g_ProbeReport.substr(from, end - from));
        from = end + 1;
    }
    return true;
}

// One line of the probe's report: "id height weight italic charset stock handle face".
struct FontReport {
    int id, italic, charset, stock, handle;
    long height, weight;
    char face[64];
};

bool ReadFontReport(const std::string &line, FontReport *font)
{
    *font = FontReport();
    return std::sscanf(line.c_str(), "%d %ld %ld %d %d %d %d %63[^\n]", &font->id, &font->height, &font->weight,
                       &font->italic, &font->charset, &font->stock, &font->handle, font->face) == 8;
}

// Bits that the system itself changes in a control's style after creation, masked before
// comparing: an edit control created with WS_BORDER and without WS_EX_CLIENTEDGE takes
// WS_BORDER out of its style and draws the one-pixel border itself (Windows and Wine alike).
// Nothing else is masked; the layout is checked before the user first moves the focus, because
// from then on the dialog manager shifts BS_DEFPUSHBUTTON to whichever push button has the focus.
DWORD SystemStyleMask(const KeypadControl &expected)
{
    return expected.kind == KEYPAD_EDIT ? ~(DWORD)WS_BORDER : 0xFFFFFFFF;
}

int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }

bool CheckControls(HWND main_window, const char *address, int dpi, LPARAM probe_request = 0);
bool FocusOf(HWND window, int *id, int *index);

// Real input reaches the program asynchronously, so the focus is polled until it is on the control
// with that id (and creation index, unless 0) or the time runs out; *id and *index say where it is.
bool WaitForFocus(HWND window, int want_id, int want_index, DWORD limit_ms, int *id, int *index)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (!FocusOf(window, id, index)) return false;
        if (*id == want_id && (!want_index || *index == want_index)) return true;
        if (GetTickCount() - start >= limit_ms) return false;
        Sleep(20);
    }
}

int CheckLayout(HWND main_window, const char *address, bool popout, int dpi)
{
    std::string caption;
    if (!ReadText(main_window, &caption)) Fail("caption: no answer to WM_GETTEXT");
    else if (caption != MAIN_CAPTION) Fail("caption \"%s\", expected \"%s\"", caption.c_str(), MAIN_CAPTION);

    LONG main_style = GetWindowLongA(main_window, GWL_STYLE);
    const LONG wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT;
    if ((main_style & wanted) != wanted || (main_style & (WS_MAXIMIZEBOX | WS_THICKFRAME)))
        Fail("main window style 0x%08lx: wants 0x%08lx, no maximise box, no sizing border", main_style, wanted);

    RECT client;
    GetClientRect(main_window, &client);
    SIZE from_template = {0, 0};
    if (popout) {
        // The saved wide size: the whole layout (x 0..180, y 6..504) fits.
        if (client.right < Scaled(180, dpi) || client.bottom < Scaled(504, dpi))
            Fail("client size %ldx%ld does not hold the whole keypad (180x504 at 96 dpi)", client.right,
                 client.bottom);
    } else if (!TemplateClientSize(&from_template)) {
        Fail("cannot make a window from the same template");
    } else if (client.right != from_template.cx || client.bottom != from_template.cy) {
        Fail("client size %ldx%ld, a window of the template here is %ldx%ld", client.right, client.bottom,
             from_template.cx, from_template.cy);
    }
    if (dpi != 96)  // scaled, the whole keypad fits the template's client area too
        for (HWND child : Children(main_window)) {
            RECT r = ClientRectOf(child, main_window);
            if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom)
                Fail("id %d at %ld,%ld..%ld,%ld lies outside the client area %ldx%ld", GetDlgCtrlID(child), r.left,
                     r.top, r.right, r.bottom, client.right, client.bottom);
        }
    if (!CheckControls(main_window, address, dpi)) return 1;
    std::printf("layout ok: caption, %ldx%ld client, 39 controls with the keypad font\n", client.right, client.bottom);
    return 0;
}

// Class, id, rectangle (that of the dpi, within a pixel when scaled), style, text and font of the
// 39 controls. The probe request, if any, is carried out inside the program before the fonts are read.
bool CheckControls(HWND main_window, const char *address, int dpi, LPARAM probe_request)
{
    std::vector<HWND> children = Children(main_window);
    // With a saved address the focus goes to OK at start, which becomes the default button.
    bool ok_default = address && std::strcmp(address, "0.0.0.0") != 0;
    int focus_id = 0, focus_index = 0;
    if (ok_default && !WaitForFocus(main_window, IDC_OK, 0, SEND_TIMEOUT_MS, &focus_id, &focus_index))
        Fail("the focus did not reach OK after start-up with a saved address");
    if (children.size() != (size_t)KEYPAD_CONTROL_COUNT)
        Fail("%u child windows, expected %d", (unsigned)children.size(), KEYPAD_CONTROL_COUNT);

    std::vector<std::string> fonts;
    bool have_fonts = ProbeFonts(main_window, &fonts, probe_request);
    if (have_fonts && probe_request) {  // the last line tells of the font before the change
        if (fonts.empty() || fonts.back() != "old-font 0")
            Fail("the font from before the change is still an object: \"%s\"", fonts.empty() ? "" : fonts.back().c_str());
        if (!fonts.empty()) fonts.pop_back();
    }
    if (have_fonts && fonts.size() != children.size())
        Fail("font probe reported %u controls, expected %u", (unsigned)fonts.size(), (unsigned)children.size());
    std::string first_font;

    for (size_t i = 0; i < children.size() && i < (size_t)KEYPAD_CONTROL_COUNT; ++i) {
        const KeypadControl &want = KEYPAD_CONTROLS[i];
        const ControlRect &rect = want.rect;
        HWND child = children[i];
        int row = (int)i + 1;
        std::string name = ClassOf(child);
        if (lstrcmpiA(name.c_str(), ClassOfKind(want.kind)) != 0)
            Fail("row %d: class %s, expected %s", row, name.c_str(), ClassOfKind(want.kind));
        int id = GetDlgCtrlID(child);
        if (id != want.id) Fail("row %d: id %d, expected %d", row, id, want.id);
        RECT r = ClientRectOf(child, main_window);
        const int slack = dpi == 96 ? 0 : 1;
        if (labs(r.left - Scaled(rect.x, dpi)) > slack || labs(r.top - Scaled(rect.y, dpi)) > slack ||
            labs(r.right - r.left - Scaled(rect.width, dpi)) > slack ||
            labs(r.bottom - r.top - Scaled(rect.height, dpi)) > slack)
            Fail("row %d (id %d): rect %ld,%ld %ldx%ld, expected %d,%d %dx%d", row, id, r.left, r.top,
                 r.right - r.left, r.bottom - r.top, Scaled(rect.x, dpi), Scaled(rect.y, dpi),
                 Scaled(rect.width, dpi), Scaled(rect.height, dpi));
        DWORD style = (DWORD)GetWindowLongA(child, GWL_STYLE);
        DWORD mask = SystemStyleMask(want), want_style = StyleOf(want);
        bool push_button = want.kind == KEYPAD_BUTTON && (want_style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
        if (ok_default && push_button)  // the default moved from Send Test to OK
            want_style = (want_style & ~(DWORD)BS_DEFPUSHBUTTON) | (want.id == IDC_OK ? BS_DEFPUSHBUTTON : 0);
        if ((style & mask) != (want_style & mask))
            Fail("row %d (id %d): style 0x%08lx, expected 0x%08lx", row, id, style, want_style);
        DWORD ex_style = (DWORD)GetWindowLongA(child, GWL_EXSTYLE);
        if (ex_style & ~(DWORD)WS_EX_NOPARENTNOTIFY)  // the system adds only WS_EX_NOPARENTNOTIFY
            Fail("row %d (id %d): extended style 0x%08lx, expected 0", row, id, ex_style);
        std::string text;
        const char *want_text = TextOf(want, address);
        if (!ReadText(child, &text)) Fail("row %d (id %d): no answer to WM_GETTEXT", row, id);
        else if (want_text && text != want_text)
            Fail("row %d (id %d): text \"%s\", expected \"%s\"", row, id, Escaped(text).c_str(),
                 Escaped(want_text).c_str());
        if (!IsWindowVisible(child) || !IsWindowEnabled(child))
            Fail("row %d (id %d): not visible and enabled", row, id);

        if (!have_fonts || i >= fonts.size()) continue;
        FontReport font;
        if (!ReadFontReport(fonts[i], &font)) {
            Fail("row %d: unreadable font report \"%s\"", row, fonts[i].c_str());
            continue;
        }
        std::string handle_text = fonts[i].substr(0, fonts[i].rfind(' '));
        handle_text = handle_text.substr(handle_text.rfind(' ') + 1);
        if (i == 0) first_font = handle_text;
        if (font.handle == 0 || font.stock) Fail("row %d (id %d): font %d is not the keypad font", row, id, font.handle);
        else if (handle_text != first_font) Fail("row %d (id %d): another font handle than row 1", row, id);
        if (font.height != Scaled(12, dpi) || font.weight != FW_BOLD || font.italic || font.charset != ANSI_CHARSET ||
            std::strcmp(font.face, "Arial") != 0)
            Fail("row %d (id %d): font height %ld weight %ld italic %d charset %d face %s, expected bold Arial %d",
                 row, id, font.height, font.weight, font.italic, font.charset, font.face, Scaled(12, dpi));
    }
    return g_Failures == 0;
}

// WM_DPICHANGED from OLD to NEW dpi: the window takes the suggested rectangle, the controls follow and
// the old font is deleted (Wine's GetGuiResources counts nothing, so the font itself is asked).
int DpiChange(HWND main_window, int new_dpi, int old_dpi)
{
    RECT before, after;
    GetWindowRect(main_window, &before);
    CheckControls(main_window, NULL, new_dpi, MAKELPARAM(new_dpi, old_dpi));
    GetWindowRect(main_window, &after);
    if (after.left != before.left || after.top != before.top ||
        after.right - after.left != MulDiv(before.right - before.left, new_dpi, old_dpi) ||
        after.bottom - after.top != MulDiv(before.bottom - before.top, new_dpi, old_dpi))
        Fail("window %ld,%ld %ldx%ld did not take the suggested rectangle", after.left, after.top,
             after.right - after.left, after.bottom - after.top);
    if (g_Failures) return 1;
    std::printf("dpi %d ok: window %ldx%ld, 39 controls and their font follow, the old font is deleted\n", new_dpi,
                after.right - after.left, after.bottom - after.top);
    return 0;
}

int Dump(HWND main_window)
{
    std::vector<HWND> children = Children(main_window);
    int index = 0;
    for (HWND child : children) {
        std::string text;
        ReadText(child, &text);
        RECT r = ClientRectOf(child, main_window);
        std::printf("%d %s id=%d rect=%ld,%ld,%ldx%ld style=0x%08lx ex=0x%08lx text=\"%s\"\n", ++index,
                    ClassOf(child).c_str(), GetDlgCtrlID(child), r.left, r.top, r.right - r.left, r.bottom - r.top,
                    (DWORD)GetWindowLongA(child, GWL_STYLE), (DWORD)GetWindowLongA(child, GWL_EXSTYLE),
                    Escaped(text).c_str());
    }
    std::vector<std::string> fonts;
    if (ProbeFonts(main_window, &fonts))
        for (const std::string &line : fonts) std::printf("font %s\n", line.c_str());
    return g_Failures ? 1 : 0;
}

struct OwnedSearch {
    HWND owner, found;
};

BOOL CALLBACK FindOwnedProc(HWND window, LPARAM lParam)
{
    OwnedSearch *search = (OwnedSearch *)lParam;
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window owned by the main window.
HWND FindOwnedBox(HWND main_window)
{
    OwnedSearch search = {main_window, NULL};
    EnumWindows(FindOwnedProc, (LPARAM)&search);
    return search.found;
}

int ExpectMessageBox(HWND main_window, const char *want_text, const char *want_caption, double seconds)
{
    DWORD limit = (DWORD)(seconds * 1000);
    DWORD start = GetTickCount();
    HWND box = NULL;
    while (!(box = FindOwnedBox(main_window)) && GetTickCount() - start < limit) Sleep(50);
    if (!box) {
        Fail("no message box owned by the main window within %.1f s", seconds);
        return 1;
    }
    std::string caption;
    ReadText(box, &caption);
    if (ClassOf(box) != "#32770") Fail("box class %s, expected #32770", ClassOf(box).c_str());
    if (caption != want_caption) Fail("box caption \"%s\", expected \"%s\"", caption.c_str(), want_caption);
    if (IsWindowEnabled(main_window)) Fail("main window is enabled while the box is open: not modal");
    std::string message;
    int buttons = 0, icons = 0;
    HWND ok = NULL;
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child)) continue;
        std::string text;
        ReadText(child, &text);
        std::string name = ClassOf(child);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (name == "Button") {
            ++buttons;
            if (GetDlgCtrlID(child) == IDOK && text == "OK") ok = child;
        } else if (name == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
            // Wine keeps an empty icon control in every box; only one holding an icon counts.
            DWORD_PTR icon = 0;
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_NORMAL, SEND_TIMEOUT_MS, &icon);
            if (icon) ++icons;
        } else if (name == "Static" && !text.empty()) {
            message = text;
        }
    }
    if (message != want_text && std::strcmp(want_text, "*") != 0)
        Fail("box text \"%s\", expected \"%s\"", message.c_str(), want_text);
    if (buttons != 1 || !ok) Fail("box has %d visible buttons; expected only OK", buttons);
    if (icons) Fail("box shows an icon; expected none (MB_OK)");
    // Press OK and wait until the box is gone and the main window takes input again.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
    start = GetTickCount();
    while ((IsWindow(box) || !IsWindowEnabled(main_window)) && GetTickCount() - start < SEND_TIMEOUT_MS) Sleep(50);
    if (IsWindow(box)) Fail("the box did not close after OK");
    if (g_Failures) return 1;
    std::printf("message box \"%s\" / \"%s\" shown and closed\n", message.c_str(), caption.c_str());
    return 0;
}

// Counts the strongly red pixels of the control as the screen shows it.
bool CountRedPixels(HWND control, int *red, int *total)
{
    RECT r;
    GetWindowRect(control, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool copied = bits && BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    *red = 0;
    *total = width * height;
    for (int i = 0; copied && i < *total; ++i) {
        DWORD pixel = ((const DWORD *)bits)[i];  // 0x00RRGGBB
        if ((pixel >> 16 & 0xFF) >= 160 && (pixel >> 8 & 0xFF) < 80 && (pixel & 0xFF) < 80) ++*red;
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return copied;
}

struct TipSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindTipProc(HWND window, LPARAM lParam)
{
    TipSearch *search = (TipSearch *)lParam;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) || lstrcmpiA(ClassOf(window).c_str(), "tooltips_class32") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

bool WaitFor(bool want_present, double seconds)
{
    DWORD limit = (DWORD)(seconds * 1000);
    DWORD start = GetTickCount();
    for (;;) {
        HWND main_window = FindMain();
        bool ready = main_window && IsWindowVisible(main_window) &&
                     Children(main_window).size() >= (size_t)KEYPAD_CONTROL_COUNT;
        if (want_present ? ready : !main_window) return true;
        if (GetTickCount() - start >= limit) return false;
        Sleep(50);
    }
}

// --- the commands: each handler gets the window it acts on (the main window, or with --in the
// window it owns) and its arguments; it returns the exit code, USAGE_ERROR for wrong arguments.
const int USAGE_ERROR = 2;

double Seconds(const char *text) { return std::atof(text); }

// Every argument from `first` on as a number into values[]; false when one is not a number.
bool Numbers(char **args, int first, int count, unsigned long *values)
{
    for (int i = first; i < count; ++i)
        if (!ParseNumber(args[i], &values[i - first])) return false;
    return true;
}

int WaitWindowCommand(HWND, char **args, int count)
{
    double seconds = count > 0 ? Seconds(args[0]) : 10;
    if (!WaitFor(true, seconds)) {
        Fail("no main window with its controls within %.1f s", seconds);
        return 1;
    }
    DWORD pid = 0;
    HWND main_window = FindMain();
    GetWindowThreadProcessId(main_window, &pid);
    std::printf("%p %lu\n", (void *)main_window, pid);
    return 0;
}

int WaitGoneCommand(HWND, char **args, int count)
{
    double seconds = count > 0 ? Seconds(args[0]) : 10;
    if (!WaitFor(false, seconds)) {
        Fail("main window still there after %.1f s", seconds);
        return 1;
    }
    return 0;
}

// The list box with this id and its item count; NULL (reported) when there is none.
HWND ListBox(HWND window, unsigned long id, DWORD_PTR *items)
{
    HWND list = ControlById(window, (int)id);
    if (!list || !SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, SEND_TIMEOUT_MS, items)) {
        Fail("no list box with id %lu", id);
        return NULL;
    }
    return list;
}

int ListCommand(HWND window, char **args, int count)
{
    unsigned long id = 0;
    DWORD_PTR items = 0;
    if (!Numbers(args, 0, count, &id)) return USAGE_ERROR;
    HWND list = ListBox(window, id, &items);
    if (!list) return 1;
    for (DWORD_PTR i = 0; i < items; ++i) {
        // The wide form: Wine hands LB_GETTEXT across processes as wide text whatever the form.
        wchar_t wide[512] = {0};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 512) SendMessageW(list, LB_GETTEXT, i, (LPARAM)wide);
        char text[512] = {0};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
        std::printf("%s\n", text);
    }
    return 0;
}

int ItemCenterCommand(HWND window, char **args, int count)
{
    unsigned long n[2] = {0, 0};  // list id, item index
    DWORD_PTR items = 0;
    if (!Numbers(args, 0, count, n)) return USAGE_ERROR;
    HWND list = ListBox(window, n[0], &items);
    if (!list) return 1;
    RECT r = {};
    if (n[1] >= items || SendMessageA(list, LB_GETITEMRECT, n[1], (LPARAM)&r) == LB_ERR) {
        Fail("no item %lu in a list of %lu", n[1], (unsigned long)items);
        return 1;
    }
    MapWindowPoints(list, HWND_DESKTOP, (POINT *)&r, 2);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

int CheckLayoutCommand(HWND window, char **args, int count)
{
    const char *address = NULL;
    bool popout = false;
    int dpi = 96;
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(args[i], "--popout") == 0) popout = true;
        else if (std::strcmp(args[i], "--dpi") == 0 && i + 1 < count) dpi = std::atoi(args[++i]);
        else address = args[i];
    }
    return CheckLayout(window, address, popout, dpi);
}

int DpiChangeCommand(HWND window, char **args, int count)
{
    unsigned long dpi[2] = {0, 0};  // new, old
    if (!Numbers(args, 0, count, dpi) || !dpi[0] || !dpi[1]) return USAGE_ERROR;
    return DpiChange(window, (int)dpi[0], (int)dpi[1]);
}

int DumpCommand(HWND window, char **, int) { return Dump(window); }

int RectCommand(HWND window, char **, int)
{
    RECT r, client;
    GetWindowRect(window, &r);
    GetClientRect(window, &client);
    std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom, r.right - r.left,
                r.bottom - r.top, client.right, client.bottom);
    return 0;
}

int SetTextCommand(HWND window, char **args, int)
{
    unsigned long id = 0;
    if (!ParseNumber(args[0], &id)) return USAGE_ERROR;
    HWND control = ControlById(window, (int)id);
    DWORD_PTR result = 0;
    if (!control) Fail("no control with id %lu", id);
    else if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)args[1], SMTO_NORMAL, SEND_TIMEOUT_MS, &result) || !result)
        Fail("WM_SETTEXT to %lu failed", id);
    return g_Failures ? 1 : 0;
}

int GetTextCommand(HWND window, char **args, int count)
{
    unsigned long id = 0;
    if (!Numbers(args, 0, count, &id)) return USAGE_ERROR;
    HWND control = ControlById(window, (int)id);
    std::string text;
    if (!control) Fail("no control with id %lu", id);
    else if (!ReadText(control, &text)) Fail("no answer to WM_GETTEXT from %lu", id);
    else std::printf("%s\n", text.c_str());
    return g_Failures ? 1 : 0;
}

// Sends MESSAGE (bounded) and prints its result.
int SendAndPrint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, SEND_TIMEOUT_MS, &result)) {
        Fail("message 0x%x (wParam 0x%lx) got no answer within %lu ms", message, (unsigned long)wParam,
             SEND_TIMEOUT_MS);
        return 1;
    }
    std::printf("%ld\n", (long)result);
    return 0;
}

int CommandCommand(HWND window, char **args, int count)
{
    unsigned long wparam = 0;
    if (!Numbers(args, 0, count, &wparam)) return USAGE_ERROR;
    return SendAndPrint(window, WM_COMMAND, (WPARAM)wparam, 0);
}

int SendMessageCommand(HWND window, char **args, int count)
{
    unsigned long n[3] = {0, 0, 0};  // message, wParam, lParam
    if (!Numbers(args, 0, count, n)) return USAGE_ERROR;
    return SendAndPrint(window, (UINT)n[0], (WPARAM)n[1], (LPARAM)n[2]);
}

// Fails when the window does not answer WM_NULL within MS: its thread is busy or hung.
int AnswersCommand(HWND window, char **args, int count)
{
    unsigned long ms = 0;
    if (!Numbers(args, 0, count, &ms)) return USAGE_ERROR;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, (UINT)ms, &result))
        Fail("no answer to a sent message within %lu ms", ms);
    return g_Failures ? 1 : 0;
}

int PostCommandCommand(HWND window, char **args, int count)
{
    unsigned long wparam = 0;
    if (!Numbers(args, 0, count, &wparam)) return USAGE_ERROR;
    if (!PostMessageA(window, WM_COMMAND, (WPARAM)wparam, 0)) Fail("PostMessage failed");
    return g_Failures ? 1 : 0;
}

int ExpectMessageBoxCommand(HWND window, char **args, int)
{
    return ExpectMessageBox(window, args[0], args[1], Seconds(args[2]));
}

int NoMessageBoxCommand(HWND window, char **, int)
{
    HWND box = FindOwnedBox(window);
    if (box) {
        std::string caption;
        ReadText(box, &caption);
        Fail("a window owned by the main window is open: \"%s\"", caption.c_str());
    }
    return g_Failures ? 1 : 0;
}

// The focused control as "ID INDEX" (INDEX in creation order, 1 up); "0 0" when none has it.
bool FocusOf(HWND window, int *id, int *index)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info)) {
        Fail("GetGUIThreadInfo failed");
        return false;
    }
    std::vector<HWND> children = Children(window);
    *id = *index = 0;
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == info.hwndFocus) *index = (int)i + 1;
    if (*index) *id = GetDlgCtrlID(info.hwndFocus);
    return true;
}

int FocusCommand(HWND window, char **, int)
{
    int id = 0, index = 0;
    if (!FocusOf(window, &id, &index)) return 1;
    std::printf("%d %d\n", id, index);
    return 0;
}

int WaitFocusCommand(HWND window, char **args, int)
{
    unsigned long want[2] = {0, 0};  // id, index
    if (!Numbers(args, 0, 2, want)) return USAGE_ERROR;
    int id = 0, index = 0;
    bool matched = WaitForFocus(window, (int)want[0], (int)want[1], (DWORD)(Seconds(args[2]) * 1000), &id, &index);
    std::printf("%d %d\n", id, index);
    return matched ? 0 : 1;
}

// The control whose id is the command's one argument; else the exit code (2: not a number).
int ControlOfArgument(HWND window, char **args, int count, HWND *control)
{
    unsigned long id = 0;
    if (!Numbers(args, 0, count, &id)) return USAGE_ERROR;
    *control = ControlById(window, (int)id);
    if (*control) return 0;
    Fail("no control with id %lu", id);
    return 1;
}

int CenterCommand(HWND window, char **args, int count)
{
    HWND control = NULL;
    if (int result = ControlOfArgument(window, args, count, &control)) return result;
    RECT r;
    GetWindowRect(control, &r);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

int WaitRedCommand(HWND window, char **args, int)
{
    unsigned long id = 0;
    if (!ParseNumber(args[0], &id)) return USAGE_ERROR;
    HWND control = ControlById(window, (int)id);
    bool want_red = std::strcmp(args[1], "yes") == 0;
    DWORD start = GetTickCount(), limit = (DWORD)(Seconds(args[2]) * 1000);
    int red = 0, total = 0;
    bool matched = false;
    while (control && CountRedPixels(control, &red, &total)) {
        matched = want_red ? red * 2 > total : red == 0;
        if (matched || GetTickCount() - start >= limit) break;
        Sleep(50);
    }
    if (!control || !total) Fail("cannot read control %lu on the screen", id);
    std::printf("%d %d\n", red, total);
    return matched ? 0 : 1;
}

int WaitTipCommand(HWND window, char **args, int)
{
    TipSearch search = {0, NULL};
    GetWindowThreadProcessId(window, &search.process);
    DWORD start = GetTickCount(), limit = (DWORD)(Seconds(args[0]) * 1000);
    while (EnumWindows(FindTipProc, (LPARAM)&search) && GetTickCount() - start < limit) Sleep(50);
    std::string text;
    if (!search.found || !ReadText(search.found, &text)) {
        Fail("no tooltip of the program on the screen within %s s", args[0]);
        return 1;
    }
    std::printf("%s\n", Escaped(text).c_str());
    return 0;
}

int ExStyleCommand(HWND window, char **, int)
{
    std::printf("0x%08lx\n", (DWORD)GetWindowLongA(window, GWL_EXSTYLE));
    return 0;
}

int MenuStateCommand(HWND window, char **args, int count)
{
    unsigned long item = 0;
    if (!Numbers(args, 0, count, &item) || !item || item > 0xFFFF) return USAGE_ERROR;
    std::vector<std::string> lines;
    if (!ProbeFonts(window, &lines, (LPARAM)item)) return 1;
    int state = lines.empty() ? -1 : std::atoi(lines[0].c_str() + 5);
    std::printf("%s\n", state == -1 ? "missing" : (state & MF_CHECKED) ? "checked" : "unchecked");
    return 0;
}

int CloseCommand(HWND window, char **, int)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!WaitFor(false, SEND_TIMEOUT_MS / 1000.0)) {
        Fail("main window still there %lu ms after WM_CLOSE", SEND_TIMEOUT_MS);
        return 1;
    }
    return 0;
}

// Defined here: with MinGW for x86-64 the oleacc import library's IID_IAccessible is an import
// thunk, not the GUID.
const IID ACCESSIBLE_IID = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string Narrow(BSTR text)
{
    if (!text) return "";
    char narrow[512] = {0};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof(narrow) - 1, NULL, NULL);
    return narrow;
}

int AccNameCommand(HWND window, char **args, int count)
{
    HWND control = NULL;
    if (int result = ControlOfArgument(window, args, count, &control)) return result;
    CoInitialize(NULL);
    IAccessible *object = NULL;
    HRESULT result = AccessibleObjectFromWindow(control, (DWORD)OBJID_CLIENT, ACCESSIBLE_IID, (void **)&object);
    if (result != S_OK || !object) {
        Fail("no accessible object for control %d (0x%08lx)", GetDlgCtrlID(control), (unsigned long)result);
        CoUninitialize();
        return 1;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = NULL, shortcut = NULL;
    object->get_accName(self, &name);
    object->get_accKeyboardShortcut(self, &shortcut);
    std::printf("%s|%s\n", Narrow(name).c_str(), Narrow(shortcut).c_str());
    SysFreeString(name);
    SysFreeString(shortcut);
    object->Release();
    CoUninitialize();
    return 0;
}

HWND g_NameWatched = NULL;  // the control whose name change name-event waits for
bool g_NameChanged = false;

void CALLBACK OnNameChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (window == g_NameWatched && object == OBJID_CLIENT && child == CHILDID_SELF) g_NameChanged = true;
}

int NameEventCommand(HWND window, char **args, int)
{
    unsigned long values[2] = {0, 0};  // id, wParam
    if (!Numbers(args, 0, 2, values)) return USAGE_ERROR;
    g_NameWatched = ControlById(window, (int)values[0]);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HWINEVENTHOOK hook = g_NameWatched ? SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, NULL,
                                                         OnNameChange, process, 0, WINEVENT_OUTOFCONTEXT)
                                       : NULL;
    if (!hook) {
        Fail("cannot watch control %lu", values[0]);
        return 1;
    }
    PostMessageA(window, WM_COMMAND, (WPARAM)values[1], 0);
    PumpMessagesUntil(&g_NameChanged, (DWORD)(Seconds(args[2]) * 1000));
    UnhookWinEvent(hook);
    std::string text;
    ReadText(g_NameWatched, &text);
    std::printf("%s\n", Escaped(text).c_str());
    if (!g_NameChanged) Fail("no name change of control %lu within %s s", values[0], args[2]);
    return g_NameChanged ? 0 : 1;
}

// The height that the static's text takes, word-wrapped at the control's width, in the font that
// the probe reported for it.
int TextHeight(HWND control, const std::string &font_line, int width)
{
    FontReport reported;
    if (!ReadFontReport(font_line, &reported)) return -1;
    std::string text;
    ReadText(control, &text);
    HFONT font = CreateFontA((int)reported.height, 0, 0, 0, (int)reported.weight, (DWORD)reported.italic, FALSE, FALSE,
                             (DWORD)reported.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, reported.face);
    HDC dc = GetDC(NULL);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    DeleteObject(font);
    return (int)r.bottom;
}

int InsideCommand(HWND window, char **, int)
{
    RECT client;
    GetClientRect(window, &client);
    std::vector<HWND> children = Children(window);
    std::vector<std::string> fonts;
    if (!ProbeFonts(window, &fonts) || fonts.size() != children.size()) {
        Fail("the font probe reported %u controls of %u", (unsigned)fonts.size(), (unsigned)children.size());
        return 1;
    }
    for (size_t i = 0; i < children.size(); ++i) {
        HWND child = children[i];
        RECT r = ClientRectOf(child, window);
        int id = GetDlgCtrlID(child);
        if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom)
            Fail("id %d at %ld,%ld..%ld,%ld lies outside the client area %ldx%ld", id, r.left, r.top, r.right,
                 r.bottom, client.right, client.bottom);
        if (ClassOf(child) != "Static") continue;
        int needed = TextHeight(child, fonts[i], (int)(r.right - r.left));
        if (needed < 0 || needed > r.bottom - r.top)
            Fail("id %d: its text needs %d pixels of height, the control has %ld", id, needed, r.bottom - r.top);
    }
    if (g_Failures) return 1;
    std::printf("inside ok: %u controls in %ldx%ld\n", (unsigned)children.size(), client.right, client.bottom);
    return 0;
}

struct Instances {
    int count;
    HWND first;
};

BOOL CALLBACK CountInstanceProc(HWND window, LPARAM lParam)
{
    Instances *found = (Instances *)lParam;
    if (ClassOf(window) != REMOTE_WINDOW_CLASS) return TRUE;
    if (!found->count++) found->first = window;
    return TRUE;
}

int InstancesCommand(HWND, char **, int)
{
    Instances found = {0, NULL};
    EnumWindows(CountInstanceProc, (LPARAM)&found);
    std::printf("%d %d %d\n", found.count, found.first && IsIconic(found.first) ? 1 : 0,
                found.first && GetForegroundWindow() == found.first ? 1 : 0);
    return 0;
}

const int HOLD_FRONT_HOT_KEY = 1;

LRESULT CALLBACK HoldFrontProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOTKEY && wParam == HOLD_FRONT_HOT_KEY) {
        std::printf("pressed\n");
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int HoldFrontCommand(HWND, char **args, int count)
{
    unsigned long modifiers = 0, virtual_key = 0;
    if (count == 2 || (count == 3 && (!ParseNumber(args[1], &modifiers) || !ParseNumber(args[2], &virtual_key))))
        return USAGE_ERROR;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HoldFrontProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "E2EHoldFront";
    RegisterClassA(&wc);
    HWND front = CreateWindowExA(0, wc.lpszClassName, "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 100,
                                 300, 200, NULL, NULL, wc.hInstance, NULL);
    if (!front) {
        Fail("cannot create a window");
        return 1;
    }
    if (count == 3) {
        if (RegisterHotKey(front, HOLD_FRONT_HOT_KEY, (UINT)modifiers, (UINT)virtual_key))
            std::printf("hotkey OK\n");
        else
            std::printf("hotkey ERR %lu\n", GetLastError());
    }
    SetForegroundWindow(front);
    SetFocus(front);
    bool done = false;
    PumpMessagesUntil(&done, 200);  // the activation's messages
    std::printf("front %d\n", GetForegroundWindow() == front ? 1 : 0);
    std::fflush(stdout);
    PumpMessagesUntil(&done, (DWORD)(Seconds(args[0]) * 1000));
    DestroyWindow(front);
    return 0;
}

struct DriverCommand {
    const char *name;
    const char *arguments;  // for the usage text
    int min_args, max_args;
    bool needs_window;      // false: it looks for the main window itself
    int (*run)(HWND window, char **args, int count);
};

const DriverCommand COMMANDS[] = {
    {"wait-window", "S", 0, 1, false, WaitWindowCommand},
    {"wait-gone", "S", 0, 1, false, WaitGoneCommand},
    {"check-layout", "[ADDRESS] [--popout] [--dpi N]", 0, 4, true, CheckLayoutCommand},
    {"dpi-change", "NEW OLD", 2, 2, true, DpiChangeCommand},
    {"dump", "", 0, 0, true, DumpCommand},
    {"rect", "", 0, 0, true, RectCommand},
    {"set-text", "ID TEXT", 2, 2, true, SetTextCommand},
    {"get-text", "ID", 1, 1, true, GetTextCommand},
    {"command", "WPARAM", 1, 1, true, CommandCommand},
    {"post-command", "WPARAM", 1, 1, true, PostCommandCommand},
    {"answers", "MS", 1, 1, true, AnswersCommand},
    {"send-message", "MSG WPARAM LPARAM", 3, 3, true, SendMessageCommand},
    {"expect-message-box", "TEXT CAPTION S", 3, 3, true, ExpectMessageBoxCommand},
    {"no-message-box", "", 0, 0, true, NoMessageBoxCommand},
    {"focus", "", 0, 0, true, FocusCommand},
    {"wait-focus", "ID INDEX S", 3, 3, true, WaitFocusCommand},
    {"center", "ID", 1, 1, true, CenterCommand},
    {"close", "", 0, 0, true, CloseCommand},
    {"wait-red", "ID yes|no S", 3, 3, true, WaitRedCommand},
    {"list", "ID", 1, 1, true, ListCommand},
    {"item-center", "ID INDEX", 2, 2, true, ItemCenterCommand},
    {"wait-tip", "S", 1, 1, true, WaitTipCommand},
    {"ex-style", "", 0, 0, true, ExStyleCommand},
    {"menu-state", "ITEM", 1, 1, true, MenuStateCommand},
    {"acc-name", "ID", 1, 1, true, AccNameCommand},
    {"name-event", "ID WPARAM S", 3, 3, true, NameEventCommand},
    {"inside", "", 0, 0, true, InsideCommand},
    {"instances", "", 0, 0, false, InstancesCommand},
    {"hold-front", "SECONDS [MODS VK]", 1, 3, false, HoldFrontCommand},
};

int Usage()
{
    std::printf("usage: e2e_driver [--in CAPTION] COMMAND ..., COMMAND one of:\n");
    for (const DriverCommand &command : COMMANDS) std::printf("  %s %s\n", command.name, command.arguments);
    return USAGE_ERROR;
}

const DriverCommand *FindCommand(const char *name)
{
    for (const DriverCommand &command : COMMANDS)
        if (std::strcmp(command.name, name) == 0) return &command;
    return NULL;
}

// The window owned by the main window with this caption, waiting for it (bounded).
HWND OwnedWindow(HWND main_window, const char *want_caption)
{
    DWORD start = GetTickCount();
    HWND owned = NULL;
    while (!(owned = FindOwnedBox(main_window)) && GetTickCount() - start < SEND_TIMEOUT_MS) Sleep(50);
    std::string caption;
    if (!owned || !ReadText(owned, &caption) || caption != want_caption) {
        Fail("no window \"%s\" owned by the main window (found \"%s\")", want_caption, caption.c_str());
        return NULL;
    }
    return owned;
}

}  // namespace

int main(int argc, char **argv)
{
    DeclareDpiAware();
    const char *in_caption = NULL;  // --in CAPTION: the command acts on that owned window
    int first = 1;
    if (argc > 3 && std::strcmp(argv[1], "--in") == 0) {
        in_caption = argv[2];
        first = 3;
    }
    const DriverCommand *command = argc > first ? FindCommand(argv[first]) : NULL;
    char **args = argv + first + 1;
    int count = argc - first - 1;
    if (!command || count < command->min_args || count > command->max_args) return Usage();

    HWND window = NULL;
    if (command->needs_window || in_caption) {
        window = RequireMain();
        if (window && in_caption) window = OwnedWindow(window, in_caption);
        if (!window) return 1;
    }
    int result = command->run(window, args, count);
    return result == USAGE_ERROR ? Usage() : result;
}

#endif
