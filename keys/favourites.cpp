#include "keys/favourites.h"

#include <string.h>

bool SplitKeyWords(const std::string &text, std::vector<std::string> *words, std::string *error)
{
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == '\t') {
            ++at;
            continue;
        }
        std::string word;
        bool quoted = false;
        for (; at < text.size(); ++at) {
            char c = text[at];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                word += c;
            }
        }
        if (quoted) {
            *error = "a quote is not closed";
            return false;
        }
        words->push_back(word);
    }
    return true;
}

bool ReadFavouriteKeys(const std::string &keys, std::vector<KeyStep> *steps, std::string *error)
{
    std::vector<std::string> words;
    if (!SplitKeyWords(keys, &words, error)) return false;
    std::vector<char *> pointers;
    for (std::string &word : words) pointers.push_back(&word[0]);
    int count = (int)pointers.size();
    for (int i = 0; i < count; ++i) {
        // A favourite presses keys; a free-text line belongs to the text field or the sender.
        if (SameWord("/text", pointers[i])) {
            *error = QuotedWord(pointers[i]) + " is not a key";
            return false;
        }
        const char *word = pointers[i];
        int read = ReadKeyWord(count, pointers.data(), &i, steps, error);
        if (read == KEY_WORD_UNKNOWN) *error = QuotedWord(word) + " is not a key";
        if (read != KEY_WORD_READ) return false;
    }
    int key_count = 0;
    for (const KeyStep &step : *steps)
        if (step.kind == STEP_KEY) ++key_count;
    if (key_count == 0) {
        *error = "no key";
        return false;
    }
    if (key_count > FAVOURITE_KEYS_MAX) {
        *error = std::to_string(key_count) + " keys: at most 64";
        return false;
    }
    return true;
}

namespace {

// The characters of a UTF-8 text: every byte that does not continue a character.
size_t Characters(const std::string &text)
{
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

}  // namespace

Favourite ReadFavourite(const std::string &line)
{
    Favourite favourite;
    favourite.line = line;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        favourite.problem = "no '=' between the name and the keys";
        return favourite;
    }
    favourite.name = line.substr(0, equals);
    if (favourite.name.empty() || Characters(favourite.name) > (size_t)FAVOURITE_NAME_MAX) {
        favourite.problem = "a name has 1 to 32 characters";
    } else if (line.size() > FAVOURITE_LINE_MAX) {
        favourite.problem = "the line is too long";
    } else if (!ReadFavouriteKeys(line.substr(equals + 1), &favourite.steps, &favourite.problem)) {
        favourite.steps.clear();
    }
    return favourite;
}

void MarkFavouritesBeyondMenu(std::vector<Favourite> *list)
{
    static const char BEYOND[] = "beyond the 20 favourites that a menu shows";
    for (size_t i = 0; i < list->size(); ++i) {
        Favourite &favourite = (*list)[i];
        bool beyond = i >= (size_t)FAVOURITES_MAX;
        if (beyond == (favourite.problem == BEYOND)) continue;
        unsigned serial = favourite.serial;
        favourite = ReadFavourite(favourite.line);
        favourite.serial = serial;
        if (beyond) {
            favourite.steps.clear();
            favourite.problem = BEYOND;
        }
    }
}

int FindFavourite(const std::vector<Favourite> &list, const char *name)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].Usable() && SameWord(list[i].name.c_str(), name)) return (int)i;
    return -1;
}
