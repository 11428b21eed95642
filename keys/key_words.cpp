#include "keys/key_words.h"

#include <string.h>

#include "transport/command_protocol.h"

namespace {

bool IsDigitRun(const char *text)
{
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

void AddKey(const KeyCommand *key, std::vector<KeyStep> *steps)
{
    KeyStep step = {STEP_KEY, key, std::string(), 0, false, {0}};
    steps->push_back(step);
}

bool AddKeysNamed(const char *text, std::vector<KeyStep> *steps)
{
    if (const KeyCommandRow *row = FindKeyCommandRowByLabel(text)) {
        for (int i = 0; i < row->count; ++i) AddKey(row->keys[i], steps);
        return true;
    }
    if (const KeyCommand *key = FindKeyCommandByName(text)) {
        AddKey(key, steps);
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

int ReadText(int count, char *const *words, int *at, std::vector<KeyStep> *steps, std::string *error)
{
    if (*at + 1 == count) {
        *error = "/text needs a line of 1 to 251 characters after it";
        return KEY_WORD_BAD;
    }
    const char *typed = words[++*at];
    char frame[FREE_TEXT_FRAME_MAX];
    int length = FrameFreeText(typed, (int)strnlen(typed, FREE_TEXT_MAX + 1), frame, sizeof(frame));
    if (length == 0) {
        *error = "/text " + QuotedWord(typed) + ": a line has 1 to 251 characters";
        return KEY_WORD_BAD;
    }
    KeyStep step = {STEP_TEXT, nullptr, std::string(frame, length), 0, false, {0}};
    steps->push_back(step);
    return KEY_WORD_READ;
}

int ReadPause(int count, char *const *words, int *at, std::vector<KeyStep> *steps, std::string *error)
{
    if (*at + 1 == count) {
        *error = "/wait needs a pause of 0 to 60000 ms after it";
        return KEY_WORD_BAD;
    }
    KeyStep step = {STEP_WAIT, nullptr, std::string(), 0, false, {0}};
    if (!ReadWait(words[++*at], &step.wait_ms)) {
        *error = "/wait " + QuotedWord(words[*at]) + ": a pause is 0 to 60000 ms";
        return KEY_WORD_BAD;
    }
    steps->push_back(step);
    return KEY_WORD_READ;
}

// "/wake", and the hardware address after it when the next word has its form. A word with
// colons or dashes (no key's name has either) that is not one is an error rather than a key.
int ReadWake(int count, char *const *words, int *at, std::vector<KeyStep> *steps, std::string *error)
{
    KeyStep step = {STEP_WAKE, nullptr, std::string(), 0, false, {0}};
    if (*at + 1 < count && strpbrk(words[*at + 1], ":-")) {
        HardwareAddressCheck check = ParseHardwareAddress(words[*at + 1], step.hardware);
        if (check != HARDWARE_OK) {
            *error = "/wake " + QuotedWord(words[*at + 1]) + ": " + HardwareAddressRule(check);
            return KEY_WORD_BAD;
        }
        step.hardware_given = true;
        ++*at;
    }
    steps->push_back(step);
    return KEY_WORD_READ;
}

}  // namespace

bool IsKeyStepOption(const char *word)
{
    return SameWord("/text", word) || SameWord("/wait", word) || SameWord("/wake", word);
}

int ReadKeyWord(int count, char *const *words, int *at, std::vector<KeyStep> *steps, std::string *error)
{
    const char *word = words[*at];
    if (SameWord("/text", word)) return ReadText(count, words, at, steps, error);
    if (SameWord("/wait", word)) return ReadPause(count, words, at, steps, error);
    if (SameWord("/wake", word)) return ReadWake(count, words, at, steps, error);
    return AddKeysNamed(word, steps) ? KEY_WORD_READ : KEY_WORD_UNKNOWN;
}

std::string QuotedWord(const char *text)
{
    const size_t shown = 40;
    size_t length = strnlen(text, shown + 1);
    return "\"" + std::string(text, length > shown ? shown : length) + (length > shown ? "...\"" : "\"");
}
