#include "app/key_commands.h"

#include "address/ipv4_value.h"
#include "app/window_ids.h"
#include "app/remote_control.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"

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

bool RemoteControl::CheckAddress(HWND window)
{
    if (ReadAddressField(window, device_address, IDC_ADDRESS)) return true;
    MessageBoxA(window, "Invalid IP Address", "Zavaveva", MB_OK);
    return false;
}

bool RemoteControl::SendKey(HWND window, const char *bytes, int length, unsigned short tag)
{
    return CommandTransaction::Start(window, device_address, DEVICE_COMMAND_PORT, bytes, length, tag);
}

bool RemoteControl::SendKeyCommands(HWND window, unsigned id)
{
    const KeyCommandRow *row = FindKeyCommandRow(id);
    if (!row) return false;
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
