#include "app/key_commands.h"

#include "app/command_ids.h"
#include "app/delivery_sign.h"
#include "app/device_address.h"
#include "app/remote_control.h"
#include "transport/command_transaction.h"

#include <string.h>

int ReadAddressField(HWND window, unsigned char *address, int field_id)
{
    char text[ADDRESS_TEXT_MAX + 1] = {0};
    GetDlgItemTextA(window, field_id, text, sizeof(text));
    return ReadAddressText(text, address);
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
    unsigned char address[4], noticed[4];
    NoticeAddress(lParam, noticed);
    return ReadBoxInUse(window, address) && memcmp(address, noticed, 4) == 0;
}

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
    ShowDeliverySign(window, MAKEWPARAM(WSAENOBUFS, tag), PackNoticeAddress(device_address));
    return false;
}

bool RemoteControl::SendKeyCommands(HWND window, unsigned id)
{
    const KeyCommandRow *row = FindKeyCommandRow(id);
    if (!row) return false;
    // A button's keys go whole or not at all: half a channel number would tune another channel.
    if (TransactionRoomFor(device_address, DEVICE_COMMAND_PORT) < row->count) {
        ShowDeliverySign(window, MAKEWPARAM(WSAETOOMANYREFS, KeyCommandTag(row->keys[0])),
                         PackNoticeAddress(device_address));
        return false;
    }
    // Started one after another; the transport keeps them in this order at the box.
    for (int i = 0; i < row->count; ++i)
        SendKey(window, row->keys[i]->bytes, row->keys[i]->length, KeyCommandTag(row->keys[i]));
    return false;
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
