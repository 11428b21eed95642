#include "app/key_repeat.h"

#include "app/key_commands.h"
#include "app/remote_control.h"
#include "app/window_state.h"
#include "transport/command_protocol.h"
#include "transport/command_transaction.h"

namespace {

const DWORD APP_COMMAND_REPEAT_MS = 500;  // longer than the gap between a held key's repeats

}  // namespace

bool RepeatWaits(HWND window) { return CommandUnderWayForBoxInUse(window); }

bool FreeTextRepeatWaits(HWND window)
{
    RemoteWindowState *state = WindowStateOf(window);
    return state && state->remote && TransactionsUnderWayFor(state->remote->device_address, DEVICE_COMMAND_PORT) > 0;
}

void NoteMediaKeyDown(KeyRepeat *repeat, bool passed) { repeat->media_key_down_passed = passed; }

bool IsAppCommandRepeat(KeyRepeat *repeat, int command)
{
    DWORD now = GetTickCount();
    bool again = !repeat->media_key_down_passed && command == repeat->last_app_command &&
                 now - repeat->last_app_command_tick <= APP_COMMAND_REPEAT_MS;
    repeat->media_key_down_passed = false;
    repeat->last_app_command = command;
    repeat->last_app_command_tick = now;
    return again;
}
