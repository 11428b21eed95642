#include "app/key_commands.h"

#include "address/ipv4_value.h"
#include "app/delivery_sign.h"
#include "app/window_ids.h"
#include "app/window_state.h"
#include "app/remote_control.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"

#include <string.h>
#include <new>

int ReadAddressField(HWND window, unsigned char *address, int field_id)
{
    // The field's first characters, as many as the address reader looks at.
    char text[IPV4_TEXT_MAX + 1] = {0};
    GetDlgItemTextA(window, field_id, text, sizeof(text));
    Ipv4Value read;
    if (!Ipv4Value::Parse(text, &read)) return 0;
    read.CopyTo(address);
    return 1;
}

bool ReadBoxInUse(HWND window, unsigned char *address)
{
    return ReadAddressField(window, address, IDC_ADDRESS) != 0;
}

bool CommandUnderWayForBoxInUse(HWND window)
{
    unsigned char address[4];
    return ReadBoxInUse(window, address) && TransactionsUnderWayFor(address, DEVICE_COMMAND_PORT) > 0;
}

bool NoticeIsForBoxInUse(HWND window, LPARAM lParam)
{
    unsigned char address[4];
    Ipv4Value noticed = Ipv4Value::FromNotice((uintptr_t)lParam);
    return ReadBoxInUse(window, address) && memcmp(address, noticed.bytes, 4) == 0;
}

namespace {

// The sign for a key that never became a transaction, as for one that ended unsent.
void ShowNotStarted(HWND window, const unsigned char *address, int error, unsigned short tag)
{
    RemoteWindowState *state = WindowStateOf(window);
    if (state) ShowDeliverySign(window, &state->sign, MAKEWPARAM(error, tag), (LPARAM)Ipv4Value::Of(address).Notice(),
                                false);
}

}  // namespace

bool RemoteControl::CheckAddress(HWND window)
{
    if (ReadAddressField(window, device_address, IDC_ADDRESS)) return true;
    MessageBoxA(window, "Invalid IP Address", "Zavaveva", MB_OK);
    return false;
}

// A key that the transport did not take shows the sign at once, as one that ended unsent.
bool RemoteControl::SendKey(HWND window, const char *bytes, int length, unsigned short tag)
{
    if (CommandTransaction::Start(window, device_address, DEVICE_COMMAND_PORT, bytes, length, tag)) return true;
    ShowNotStarted(window, device_address, WSAENOBUFS, tag);
    return false;
}

bool RemoteControl::SendKeyCommands(HWND window, unsigned id)
{
    const KeyCommandRow *row = FindKeyCommandRow(id);
    if (!row) return false;
    SendKeys(window, row->keys, row->count);
    return false;
}

bool RemoteControl::SendKeys(HWND window, const KeyCommand *const *keys, int count, unsigned short mark)
{
    if (count <= 0) return false;
    // A button's keys go whole or not at all: half a channel number would tune another channel.
    if (TransactionRoomFor(device_address, DEVICE_COMMAND_PORT) < count) {
        ShowNotStarted(window, device_address, WSAETOOMANYREFS, KeyCommandTag(keys[0]) | mark);
        return false;
    }
    // Started as one, all or none (a start may fail for want of memory or a thread); the
    // transport keeps them in this order at the box.
    CommandPart *parts = new (std::nothrow) CommandPart[count];
    for (int i = 0; parts && i < count; ++i) parts[i] = CommandPart{keys[i]->bytes, keys[i]->length, (unsigned short)(KeyCommandTag(keys[i]) | mark)};
    bool started = parts && CommandTransaction::StartAll(window, device_address, DEVICE_COMMAND_PORT, parts, count);
    delete[] parts;
    if (!started) ShowNotStarted(window, device_address, WSAENOBUFS, KeyCommandTag(keys[0]) | mark);
    return started;
}

bool RemoteControl::SendFreeText(HWND window)
{
    char typed[256] = {0};
    int count = (int)GetDlgItemTextA(window, IDC_FREE_TEXT, typed, 255);
    char frame[FREE_TEXT_FRAME_MAX];
    int length = FrameFreeText(typed, count, frame, sizeof(frame));
    if (length == 0) return false;  // empty, or longer than a line may be
    // Goes to the address held now; the address field is not read for free text.
    SendKey(window, frame, length, 0);
    return true;
}
