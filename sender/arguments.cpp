#include "sender/arguments.h"

#include <string.h>


const char SEND_SYNOPSIS[] =
    "Usage: HalcyraSend [ADDRESS] [/wake [HW-ADDRESS]] KEY... [/fav NAME] [/text \"LINE\"] [/wait MS] [/v]\n"
    "       [/follow]\n"
    "       HalcyraSend /keys | /?\n";
const char SEND_DETAILS[] =
    "Sends the box's keys in the order given, each over a connection of its own to port 8089.\n"
    "  ADDRESS     the box's IPv4 address, such as 192.168.1.20; without it, the address\n"
    "              that the remote saved for this user\n"
    "  KEY         a button's label (POWER, \"VOL UP\"), a key name (VOLUME_UP), or digits\n"
    "              (705: one digit key per digit); any case\n"
    "  /fav NAME   the keys of the remote's favourite of that name\n"
    "  /text LINE  a free-text line of 1 to 251 characters\n"
    "  /wait MS    a pause of 0 to 60000 ms once the commands before it were sent\n"
    "  /wake       the wake packet (UDP port 9) to the box and its local network, with the box's\n"
    "              hardware address that the remote learned, or the one given (00:1a:2b:3c:4d:5e\n"
    "              or 00-1A-2B-3C-4D-5E)\n"
    "  /v          one line on standard output per command sent\n"
    "  /follow     when a key made no connection, look for the box by the hardware address that\n"
    "              the remote learned, in the /24 of its address; where it answers is printed,\n"
    "              nothing is saved, and the exit code is 3\n"
    "  /keys       every key name and what it sends\n"
    "Exit code: 0 every command sent, 1 some not sent, 2 a bad argument or no hardware address\n"
    "known for /wake (then nothing is sent), 3 the box moved: not sent, found at the address printed\n"
    "(/follow).\n";

namespace {

bool SameOption(const char *argument, const char *option) { return SameWord(option, argument); }

bool ReadFavouriteArgument(int count, char **arguments, int *at, const std::vector<Favourite> &favourites,
                           SendPlan *plan, std::string *error)
{
    if (*at + 1 == count) {
        *error = "/fav needs the name of a favourite after it";
        return false;
    }
    const char *name = arguments[++*at];
    int found = FindFavourite(favourites, name);
    if (found < 0) {
        *error = "no favourite " + QuotedWord(name) + " among the remote's favourites";
        return false;
    }
    const std::vector<KeyStep> &steps = favourites[(size_t)found].steps;
    plan->steps.insert(plan->steps.end(), steps.begin(), steps.end());
    return true;
}

}  // namespace

bool ParseArguments(int count, char **arguments, const std::vector<Favourite> &favourites, SendPlan *plan,
                    std::string *error)
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
        } else if (SameOption(argument, "/follow")) {
            plan->follow = true;
        } else if (SameOption(argument, "/fav")) {
            if (!ReadFavouriteArgument(count, arguments, &i, favourites, plan, error)) return false;
        } else if (IsKeyStepOption(argument)) {
            if (ReadKeyWord(count, arguments, &i, &plan->steps, error) != KEY_WORD_READ) return false;
        } else if (argument[0] == '/') {
            *error = "unknown option " + QuotedWord(argument);
            return false;
        } else if (strchr(argument, '.')) {
            // No key has a dot: this is meant as the address, which comes before any key.
            if (plan->address_given || !plan->steps.empty()) {
                *error = QuotedWord(argument) + ": the address goes before the keys";
                return false;
            }
            if (!Ipv4Value::Parse(argument, &plan->address)) {
                *error = "bad address " + QuotedWord(argument) + " (four numbers 0 to 255, as 192.168.1.20)";
                return false;
            }
            if (plan->address.IsUnset()) {
                *error = "bad address " + QuotedWord(argument) + ": no box has it";
                return false;
            }
            plan->address_given = true;
        } else if (ReadKeyWord(count, arguments, &i, &plan->steps, error) != KEY_WORD_READ) {
            *error = "unknown key " + QuotedWord(argument) + " (HalcyraSend /keys lists them)";
            return false;
        }
        if (plan->steps.size() > SEND_STEPS_MAX) {
            *error = "too many keys: at most 65535 in one run";
            return false;
        }
    }
    for (const KeyStep &step : plan->steps)
        if (step.kind != STEP_WAIT) return true;
    *error = "nothing to send: give at least one KEY, /text or /wake";
    return false;
}

std::string KeyList()
{
    std::string list = "Buttons, by label, and the keys they send:\n";
    for (int r = 0; r < KEY_COMMAND_TABLE_SIZE; ++r) {
        const KeyCommandRow &row = KEY_COMMAND_TABLE[r];
        if (!row.label) continue;
        std::string label = row.label;
        for (char &c : label)
            if (c == '\n') c = ' ';
        list += "  " + label + std::string(label.size() < 14 ? 14 - label.size() : 1, ' ');
        for (int i = 0; i < row.count; ++i) list += (i ? " " : "") + std::string(row.keys[i]->name);
        list += "\n";
    }
    list += "Key names, each sent as \"press NAME\" with CR, LF and NUL:\n";
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i)
        list += (i % 6 ? " " : (i ? "\n  " : "  ")) + std::string(KEY_COMMANDS[i].name);
    list += "\nDigits such as 705 send one NUMBER key per digit.\n";
    return list;
}
