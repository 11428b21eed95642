// Keys in words, as the sender's command line gives them and as any list of keys kept in text
// would: a button's label, a key's name, a run of digits, "/text LINE", "/wait MS" and "/wake".
#pragma once
#include <string>
#include <vector>

#include "keys/keys.h"

// One step of a list of keys, in the order given: a key command, a free-text line, a pause, or
// the wake packet for the box.
enum KeyStepKind { STEP_KEY, STEP_TEXT, STEP_WAIT, STEP_WAKE };

struct KeyStep {
    KeyStepKind kind;
    const KeyCommand *key;  // STEP_KEY
    std::string line;       // STEP_TEXT: the framed line as it goes on the wire (CR, LF, NUL)
    unsigned wait_ms;       // STEP_WAIT
    bool hardware_given;    // STEP_WAKE: the hardware address was given; else the one kept for the box
    unsigned char hardware[6];
};

// The longest pause a list may ask for: a minute, beyond which a scheduled task is the tool.
const unsigned WAIT_MAX_MS = 60000;

enum KeyWordRead {
    KEY_WORD_READ = 0,     // its steps were appended
    KEY_WORD_UNKNOWN = 1,  // no label, key name or digit run: nothing appended, no message
    KEY_WORD_BAD = 2,      // /text or /wait without a sound word after it: one line in `error`
};

// True for "/text", "/wait" and "/wake" in any case: the words that take (or, for /wake, may
// take) the word after them. /wake takes the next word when it has a hardware address's form.
bool IsKeyStepOption(const char *word);
// Reads words[*at] (and for /text, /wait and a /wake that takes one the word after it, leaving
// *at on it) and appends
// its steps: a button's label (every key of the button, in order), else a key's name, else a
// run of two or more digits read as the digit buttons. Returns a KeyWordRead.
int ReadKeyWord(int count, char *const *words, int *at, std::vector<KeyStep> *steps, std::string *error);
// A word in quotes for a message; a long one is cut.
std::string QuotedWord(const char *text);
