#include "app/media_keys.h"

#include "app/key_repeat.h"
#include "app/pressed_look.h"
#include "app/window_ids.h"
#include "app/window_state.h"

// Media and browser keys, as keyboards and remote receivers deliver them.
const AppCommandKey APP_COMMAND_KEYS[] = {
    {APPCOMMAND_VOLUME_UP, IDC_VOL_UP, "Volume Up"},
    {APPCOMMAND_VOLUME_DOWN, IDC_VOL_DOWN, "Volume Down"},
    {APPCOMMAND_VOLUME_MUTE, IDC_MUTE, "Mute"},
    {APPCOMMAND_MEDIA_PLAY_PAUSE, IDC_PAUSE, "Play/Pause"},
    {APPCOMMAND_MEDIA_PLAY, IDC_PLAY, "Play"},
    {APPCOMMAND_MEDIA_PAUSE, IDC_PAUSE, "Pause"},
    {APPCOMMAND_MEDIA_STOP, IDC_STOP, "Stop"},
    {APPCOMMAND_MEDIA_RECORD, IDC_RECORD, "Record"},
    {APPCOMMAND_MEDIA_FAST_FORWARD, IDC_FORWARD, "Fast Forward"},
    {APPCOMMAND_MEDIA_NEXTTRACK, IDC_FORWARD, "Next Track"},
    {APPCOMMAND_MEDIA_REWIND, IDC_REVERSE, "Rewind"},
    {APPCOMMAND_MEDIA_PREVIOUSTRACK, IDC_REVERSE, "Previous Track"},
    {APPCOMMAND_MEDIA_CHANNEL_UP, IDC_CHAN_UP, "Channel Up"},
    {APPCOMMAND_MEDIA_CHANNEL_DOWN, IDC_CHAN_DOWN, "Channel Down"},
    {APPCOMMAND_BROWSER_BACKWARD, IDC_BACK, "Browser Back"},
    {APPCOMMAND_BROWSER_HOME, IDC_HOME, "Browser Home"},
};
const int APP_COMMAND_KEY_COUNT = sizeof(APP_COMMAND_KEYS) / sizeof(APP_COMMAND_KEYS[0]);

bool RouteAppCommand(HWND window, RemoteWindowState *state, LPARAM lParam)
{
    // The mouse's side buttons (browser back and forward) keep their meaning.
    if (GET_DEVICE_LPARAM(lParam) == FAPPCOMMAND_MOUSE) return false;
    int command = GET_APPCOMMAND_LPARAM(lParam);
    bool repeat = IsAppCommandRepeat(&state->repeat, command);
    for (int i = 0; i < APP_COMMAND_KEY_COUNT; ++i) {
        if (APP_COMMAND_KEYS[i].app_command != command) continue;
        // Held back like a held key's repeats: taken, so the system does not act on it either.
        if (!repeat || !RepeatWaits(window)) ClickButton(window, &state->pressed, APP_COMMAND_KEYS[i].id);
        return true;
    }
    return false;
}
