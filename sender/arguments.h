// The sender's command line: what to send, to which address, and how to report it.
#pragma once
#include <string>
#include <vector>

#include "address/ipv4_value.h"
#include "keys/favourites.h"
#include "keys/key_words.h"

// What the command line asks for: sending, or only a text on standard output.
enum SendRequest { REQUEST_SEND, REQUEST_USAGE, REQUEST_KEYS };

struct SendPlan {
    SendRequest request = REQUEST_SEND;
    bool address_given = false;
    Ipv4Value address = {{0, 0, 0, 0}};
    bool verbose = false;  // /v: one line on standard output per command sent
    bool follow = false;   // /follow: a key that made no connection looks for the box that moved
    std::vector<KeyStep> steps;
};

// Each step's transaction carries its place + 1 as its 16-bit tag.
const size_t SEND_STEPS_MAX = 65535;

// Reads the arguments that follow the program's name; "/fav NAME" takes the keys of that
// favourite. Returns true with the plan, or false with one line in `error` that names the
// first bad argument.
bool ParseArguments(int count, char **arguments, const std::vector<Favourite> &favourites, SendPlan *plan,
                    std::string *error);

// Every button's label (line break as a space) and wire name, with what each sends.
std::string KeyList();
// The usage: its two lines, and what /? adds to them.
extern const char SEND_SYNOPSIS[];
extern const char SEND_DETAILS[];
