// The sender's command line: what to send, to which address, and how to report it.
#pragma once
#include <string>
#include <vector>

#include "transport/command_protocol.h"

// One step, in the order given: a key command, a free-text line, or a pause.
enum SendStepKind { STEP_KEY, STEP_TEXT, STEP_WAIT };

struct SendStep {
    SendStepKind kind;
    const KeyCommand *key;  // STEP_KEY
    std::string line;       // STEP_TEXT: the framed line as it goes on the wire (CR, LF, NUL)
    unsigned wait_ms;       // STEP_WAIT
};

// What the command line asks for: sending, or only a text on standard output.
enum SendRequest { REQUEST_SEND, REQUEST_USAGE, REQUEST_KEYS };

struct SendPlan {
    SendRequest request = REQUEST_SEND;
    bool address_given = false;
    unsigned char address[4] = {0, 0, 0, 0};
    bool verbose = false;  // /v: one line on standard output per command sent
    std::vector<SendStep> steps;
};

const unsigned WAIT_MAX_MS = 60000;
// Each step's transaction carries its place + 1 as its 16-bit tag.
const size_t SEND_STEPS_MAX = 65535;

// Reads the arguments that follow the program's name. Returns true with the plan, or false
// with one line in `error` that names the first bad argument.
bool ParseArguments(int count, char **arguments, SendPlan *plan, std::string *error);

// 0.0.0.0: the remote's address before any is saved, which no box has.
bool IsUnsetAddress(const unsigned char *address);

// The key name that a key command sends ("VOLUME_UP"), for messages and the list of keys.
std::string KeyName(const KeyCommand *key);
// Every button's label (line break as a space) and wire name, with what each sends.
std::string KeyList();
// The usage: its two lines, and what /? adds to them.
extern const char SEND_SYNOPSIS[];
extern const char SEND_DETAILS[];
