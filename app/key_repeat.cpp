#include "app/key_repeat.h"

#include "transport/command_transaction.h"

namespace {

// A device that sends media keys without key-downs repeats a held key as the same
// WM_APPCOMMAND again and again, a few times a second. UI thread only.
const DWORD APP_COMMAND_REPEAT_MS = 500;  // longer than the gap between a held key's repeats
int g_LastAppCommand = 0;
DWORD g_LastAppCommandTick = 0;
bool g_MediaKeyDownPassed = false;  // the next WM_APPCOMMAND comes from a key-down judged here

}  // namespace

bool RepeatWaits() { return TransactionsUnderWay() > 0; }

void NoteMediaKeyDown(bool passed) { g_MediaKeyDownPassed = passed; }

bool IsAppCommandRepeat(int command)
{
    DWORD now = GetTickCount();
    bool repeat = !g_MediaKeyDownPassed && command == g_LastAppCommand &&
                  now - g_LastAppCommandTick <= APP_COMMAND_REPEAT_MS;
    g_MediaKeyDownPassed = false;
    g_LastAppCommand = command;
    g_LastAppCommandTick = now;
    return repeat;
}
