// The delivery sign: while the last command that ended did not reach the box, the address label
// reads "Not sent" in the sign's colours, and a tooltip over the label and the address field
// says which command, to which address and why. The next command wholly sent clears it.
#pragma once
#include <winsock2.h>
#include <windows.h>

// The label's text while the sign shows.
const char SIGN_LABEL_TEXT[] = "Not sent";

// The longest explanation, a favourite's, has about 300 characters (a name of 32 in UTF-8).
const int SIGN_EXPLANATION_MAX = 512;

struct DeliverySign {
    bool undelivered;  // the sign shows
    bool own_words;    // the label has words of its own (ShowSignWords), not SIGN_LABEL_TEXT
    char explanation[SIGN_EXPLANATION_MAX];  // which command, to which address, why, and the hints
    HWND tip;          // the tooltip, or null; DestroyDeliverySignTip destroys it
    bool tip_tried;    // the tooltip is made once, the first time the sign shows
    bool live_region_tried;  // the label is made a live region once, the first time too
};

// The sign's tooltip is made the first time the sign shows, and destroyed with the window.
// Without the common controls the sign still shows its words, without a tooltip.
void DestroyDeliverySignTip(DeliverySign *sign);
// WM_TXN_UNDELIVERED: shows the sign with the notice's command, address and reason; offer_wake
// adds that Wake box may switch the box on.
LRESULT ShowDeliverySign(HWND window, DeliverySign *sign, WPARAM wParam, LPARAM lParam, bool offer_wake);
// The sign with the explanation written in sign->explanation (what another part of the window
// could not do, such as a key that another program holds).
LRESULT ShowSignExplanation(HWND window, DeliverySign *sign);
// The sign with words of its own on the label (as short as SIGN_LABEL_TEXT, to fit it) and
// its explanation: drawn and announced as the sign is when it shows.
void ShowSignWords(HWND window, DeliverySign *sign, const char *label, const char *explanation);
// A line added to the explanation of the sign that shows; as much of it as fits.
void AddToSignExplanation(HWND window, DeliverySign *sign, const char *line);
// WM_TXN_SENT: the label and the address field as they were.
LRESULT ClearDeliverySign(HWND window, DeliverySign *sign);
// The system menu's item that explains the sign, greyed while the sign does not show.
void PrepareDeliverySign(HWND window);
// F1 (or the menu item) while the sign shows: the explanation in a message box. False when the
// sign does not show.
bool ExplainDeliverySign(HWND window, const DeliverySign *sign);
// F1 on the window or any of its controls while the sign shows; true when it took the message.
bool TranslateSignKey(HWND window, const MSG *msg);
// WM_CTLCOLORSTATIC: the sign's colours for the label while it shows, else null.
HBRUSH DeliverySignColours(const DeliverySign *sign, HDC dc, HWND control);
// The label has moved (another dpi): the tooltip's area over it and its width follow.
void PlaceDeliverySignTip(HWND window, const DeliverySign *sign);
