// Favourites: the user's own lists of keys, each kept as one line "NAME=KEYS" in the sender's key
// words (labels, key names, digit runs, "/wait MS" between keys, "/wake"), in UTF-8 so that a
// name may be in any script. A line that does not read is kept as it is and only marked as not
// usable, so that nothing the user wrote is lost.
#pragma once
#include <string>
#include <vector>

#include "keys/key_words.h"

// Lines a menu of favourites shows; beyond them a list of names is no quicker than typing keys.
const int FAVOURITES_MAX = 20;
// A name fits a menu item.
const int FAVOURITE_NAME_MAX = 32;
// Keys in one favourite: a channel, a menu path, a few settings; more is a script's work.
const int FAVOURITE_KEYS_MAX = 64;
// A line longer than any list of 64 keys with pauses between them can be is not read.
const size_t FAVOURITE_LINE_MAX = 2048;

struct Favourite {
    std::string line;            // as stored, kept whole whether or not it reads
    std::string name;            // the text before the first '='
    std::vector<KeyStep> steps;  // keys and pauses, in order; empty when not usable
    std::string problem;         // why the line is not usable, or empty when it is
    unsigned serial = 0;         // the window's mark of the entry, kept as it moves or changes
    bool Usable() const { return problem.empty(); }
};

// Splits text into words at spaces and tabs; a double-quoted run (a label with a space, "VOL UP")
// is one word without its quotes. False, with one line in `error`, for a quote left open.
bool SplitKeyWords(const std::string &text, std::vector<std::string> *words, std::string *error);
// Reads the KEYS of a favourite: at least one key and at most FAVOURITE_KEYS_MAX, "/wait MS"
// between them, no free text. False, with one line in `error` that names the first word that
// is not a key.
bool ReadFavouriteKeys(const std::string &keys, std::vector<KeyStep> *steps, std::string *error);
// Reads one stored line; the line is kept in the result whether or not it reads.
Favourite ReadFavourite(const std::string &line);
// Lines past the first FAVOURITES_MAX are kept but not usable; a list that changed (a line
// deleted or moved) reads a line that came within them again, and marks one that left them.
// Each entry keeps its serial.
void MarkFavouritesBeyondMenu(std::vector<Favourite> *list);
// The line index (0 on) of the first usable favourite of that name (any case), or -1.
int FindFavourite(const std::vector<Favourite> &list, const char *name);
