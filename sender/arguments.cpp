#include "sender/arguments.h"

#include <string.h>

#include "app/device_address.h"
#include "app/key_commands.h"
#include "app/keypad.h"

const char SEND_SYNOPSIS[] =
    "Usage: HalcyraSend [ADDRESS] KEY... [/text \"LINE\"] [/wait MS] [/v]\n"
    "       HalcyraSend /keys | /?\n";
const char SEND_DETAILS[] =
    "Sends the box's keys in the order given, each over a connection of its own to port 8089.\n"
    "  ADDRESS     the box's IPv4 address, such as 192.168.1.20; without it, the address\n"
    "              that the remote saved for this user\n"
    "  KEY         a button's label (POWER, \"VOL UP\"), a key name (VOLUME_UP), or digits\n"
    "              (705: one digit key per digit); any case\n"
    "  /text LINE  a free-text line of 1 to 251 characters\n"
    "  /wait MS    a pause of 0 to 60000 ms once the commands before it were sent\n"
    "  /v          one line on standard output per command sent\n"
    "  /keys       every key name and what it sends\n"
    "Exit code: 0 every command sent, 1 some not sent, 2 a bad argument (then nothing is sent).\n";

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Case-insensitive; a line break in the label reads as a space.
bool LabelMatches(const char *label, const char *text)
{
    for (; *label && *text; ++label, ++text) {
        char l = *label == '\n' ? ' ' : *label;
        if (Upper(l) != Upper(*text)) return false;
    }
    return *label == '\0' && *text == '\0';
}

bool IsDigitRun(const char *text)
{
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

void AddKey(const KeyCommand *key, std::vector<SendStep> *steps)
{
    SendStep step = {STEP_KEY, key, std::string(), 0};
    steps->push_back(step);
}

// A button's label (every key of the button, in order), else a wire name, else a run of
// digits read as the digit buttons. False when the text is none of these.
bool AddKeysNamed(const char *text, std::vector<SendStep> *steps)
{
    for (const KeypadControl &control : KEYPAD_CONTROLS) {
        if (control.kind != KEYPAD_BUTTON || !control.label || !LabelMatches(control.label, text)) continue;
        const KeyCommandRow *row = FindKeyCommandRow((unsigned)control.id);
        if (!row) continue;
        for (int i = 0; i < row->count; ++i) AddKey(row->keys[i], steps);
        return true;
    }
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i) {
        if (!LabelMatches(KeyName(ALL_KEY_COMMANDS[i]).c_str(), text)) continue;
        AddKey(ALL_KEY_COMMANDS[i], steps);
        return true;
    }
    if (!IsDigitRun(text) || text[1] == '\0') return false;
    for (; *text; ++text) {
        char digit[2] = {*text, '\0'};
        if (!AddKeysNamed(digit, steps)) return false;
    }
    return true;
}

// 0 to WAIT_MAX_MS in decimal digits only.
bool ReadWait(const char *text, unsigned *ms)
{
    if (!IsDigitRun(text)) return false;
    unsigned value = 0;
    for (; *text; ++text) {
        value = value * 10 + (unsigned)(*text - '0');
        if (value > WAIT_MAX_MS) return false;
    }
    *ms = value;
    return true;
}

bool SameOption(const char *argument, const char *option) { return LabelMatches(option, argument); }

// An argument in quotes for a message; a long one is cut.
std::string Quoted(const char *text)
{
    const size_t shown = 40;
    size_t length = strnlen(text, shown + 1);
    return "\"" + std::string(text, length > shown ? shown : length) + (length > shown ? "...\"" : "\"");
}

}  // namespace

bool IsUnsetAddress(const unsigned char *address)
{
    return (address[0] | address[1] | address[2] | address[3]) == 0;
}

std::string KeyName(const KeyCommand *key)
{
    const char *name = strchr(key->bytes, ' ') + 1;  // after "press "
    return std::string(name, strcspn(name, "\r"));
}

bool ParseArguments(int count, char **arguments, SendPlan *plan, std::string *error)
{
    for (int i = 0; i < count; ++i) {
        const char *argument = arguments[i];
        if (SameOption(argument, "/?")) {
            plan->request = REQUEST_USAGE;
            return true;
        }
        if (SameOption(argument, "/keys")) {
            plan->request = REQUEST_KEYS;
            return true;
        }
        if (SameOption(argument, "/v")) {
            plan->verbose = true;
        } else if (SameOption(argument, "/text")) {
            if (i + 1 == count) {
                *error = "/text needs a line of 1 to 251 characters after it";
                return false;
            }
            const char *typed = arguments[++i];
            char frame[FREE_TEXT_FRAME_MAX];
            int length = FrameFreeText(typed, (int)strnlen(typed, FREE_TEXT_MAX + 1), frame, sizeof(frame));
            if (length == 0) {
                *error = "/text " + Quoted(typed) + ": a line has 1 to 251 characters";
                return false;
            }
            SendStep step = {STEP_TEXT, NULL, std::string(frame, length), 0};
            plan->steps.push_back(step);
        } else if (SameOption(argument, "/wait")) {
            if (i + 1 == count) {
                *error = "/wait needs a pause of 0 to 60000 ms after it";
                return false;
            }
            SendStep step = {STEP_WAIT, NULL, std::string(), 0};
            if (!ReadWait(arguments[++i], &step.wait_ms)) {
                *error = "/wait " + Quoted(arguments[i]) + ": a pause is 0 to 60000 ms";
                return false;
            }
            plan->steps.push_back(step);
        } else if (argument[0] == '/') {
            *error = "unknown option " + Quoted(argument);
            return false;
        } else if (strchr(argument, '.')) {
            // No key has a dot: this is meant as the address, which comes before any key.
            if (plan->address_given || !plan->steps.empty()) {
                *error = Quoted(argument) + ": the address goes before the keys";
                return false;
            }
            if (!ReadAddressText(argument, plan->address)) {
                *error = "bad address " + Quoted(argument) + " (four numbers 0 to 255, as 192.168.1.20)";
                return false;
            }
            if (IsUnsetAddress(plan->address)) {
                *error = "bad address " + Quoted(argument) + ": no box has it";
                return false;
            }
            plan->address_given = true;
        } else if (!AddKeysNamed(argument, &plan->steps)) {
            *error = "unknown key " + Quoted(argument) + " (HalcyraSend /keys lists them)";
            return false;
        }
        if (plan->steps.size() > SEND_STEPS_MAX) {
            *error = "too many keys: at most 65535 in one run";
            return false;
        }
    }
    for (const SendStep &step : plan->steps)
        if (step.kind != STEP_WAIT) return true;
    *error = "nothing to send: give at least one KEY or /text";
    return false;
}

std::string KeyList()
{
    std::string list = "Buttons, by label, and the keys they send:\n";
    for (const KeypadControl &control : KEYPAD_CONTROLS) {
        const KeyCommandRow *row = control.kind == KEYPAD_BUTTON ? FindKeyCommandRow((unsigned)control.id) : NULL;
        if (!row || !control.label) continue;
        std::string label = control.label;
        for (char &c : label)
            if (c == '\n') c = ' ';
        list += "  " + label + std::string(label.size() < 14 ? 14 - label.size() : 1, ' ');
        for (int i = 0; i < row->count; ++i) list += (i ? " " : "") + KeyName(row->keys[i]);
        list += "\n";
    }
    list += "Key names, each sent as \"press NAME\" with CR, LF and NUL:\n";
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i)
        list += (i % 6 ? " " : (i ? "\n  " : "  ")) + KeyName(ALL_KEY_COMMANDS[i]);
    list += "\nDigits such as 705 send one NUMBER key per digit.\n";
    return list;
}
