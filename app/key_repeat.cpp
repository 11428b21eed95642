#include "app/key_repeat.h"

#include "app/key_commands.h"

namespace {

const DWORD APP_COMMAND_REPEAT_MS = 500;  // longer than the gap between a held key's repeats
// The system's settings: delay 0..3 is 250..1000 ms; speed 0..31 is about 2.5..30 repeats a second.
const int DELAY_STEP_MS = 250;
const int SPEED_MAX = 31;

}  // namespace

UINT FirstRepeatMs()
{
    int delay = 1;
    SystemParametersInfoA(SPI_GETKEYBOARDDELAY, 0, &delay, 0);
    if (delay < 0 || delay > 3) delay = 1;
    return (UINT)((delay + 1) * DELAY_STEP_MS);
}

UINT NextRepeatMs()
{
    DWORD speed = SPEED_MAX;
    SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
    if (speed > (DWORD)SPEED_MAX) speed = SPEED_MAX;
    return (UINT)(62000 / (155 + 55 * speed));  // 1000 / (2.5 + speed * 27.5 / 31): 400 to 33 ms
}

bool RepeatWaits(HWND window) { return CommandUnderWayForBoxInUse(window); }

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
