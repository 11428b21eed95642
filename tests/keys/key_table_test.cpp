// The key vocabulary: the box's keys on the wire, and the look-ups that the programs use.
#include "keys/favourites.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

static std::string Wire(const KeyCommand &key) { return std::string(key.bytes, key.length); }

TEST(KeyCommands, PowerIsFourteenBytesEndingInCrLfNul)
{
    const std::string expected("press POWER\r\n\0", 14);
    EXPECT_EQ(Wire(KEY_POWER), expected);
}

TEST(KeyCommands, EveryCommandIsPressNameCrLfNulWithItsTableLength)
{
    struct Row { const KeyCommand *key; const char *name; int length; };
    const Row rows[] = {
        {&KEY_POWER, "POWER", 14}, {&KEY_PLAYPAUSE, "PLAYPAUSE", 18}, {&KEY_PLAY, "PLAY", 13},
        {&KEY_REVERSE, "REVERSE", 16}, {&KEY_FORWARD, "FORWARD", 16}, {&KEY_RECORD, "RECORD", 15},
        {&KEY_STOP, "STOP", 13}, {&KEY_MENU, "MENU", 13}, {&KEY_OK, "OK", 11},
        {&KEY_ACCEPT, "ACCEPT", 15}, {&KEY_CANCEL, "CANCEL", 15}, {&KEY_SELECT, "SELECT", 15},
        {&KEY_GUIDE, "GUIDE", 14}, {&KEY_UP, "UP", 11}, {&KEY_DOWN, "DOWN", 13},
        {&KEY_LEFT, "LEFT", 13}, {&KEY_RIGHT, "RIGHT", 14}, {&KEY_VOLUME_UP, "VOLUME_UP", 18},
        {&KEY_VOLUME_DOWN, "VOLUME_DOWN", 20}, {&KEY_MUTE, "MUTE", 13},
        {&KEY_PAGE_CHANNEL_UP, "PAGE_CHANNEL_UP", 24},
        {&KEY_PAGE_CHANNEL_DOWN, "PAGE_CHANNEL_DOWN", 26}, {&KEY_NUMBER0, "NUMBER0", 16},
        {&KEY_NUMBER1, "NUMBER1", 16}, {&KEY_NUMBER2, "NUMBER2", 16}, {&KEY_NUMBER3, "NUMBER3", 16},
        {&KEY_NUMBER4, "NUMBER4", 16}, {&KEY_NUMBER5, "NUMBER5", 16}, {&KEY_NUMBER6, "NUMBER6", 16},
        {&KEY_NUMBER7, "NUMBER7", 16}, {&KEY_NUMBER8, "NUMBER8", 16}, {&KEY_NUMBER9, "NUMBER9", 16},
        {&KEY_PUNCTUATION1, "PUNCTUATION1", 21}, {&KEY_PUNCTUATION2, "PUNCTUATION2", 21},
    };
    std::set<std::string> distinct;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.key->length, row.length);
        EXPECT_STREQ(row.key->name, row.name);
        EXPECT_EQ(Wire(*row.key), std::string("press ") + row.name + std::string("\r\n\0", 3));
        distinct.insert(Wire(*row.key));
    }
    EXPECT_EQ(distinct.size(), 34u);
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i) EXPECT_EQ(distinct.count(Wire(KEY_COMMANDS[i])), 1u);
}

TEST(KeyTable, FindsRowsByIdLabelAndNameAndKeysByTag)
{
    struct Row {
        const char *word;
        unsigned label_id;     // the row found by label, 0 for none
        const char *name;      // the key found by name, null for none
    };
    const Row rows[] = {
        {"POWER", IDC_POWER, "POWER"},
        {"vol up", IDC_VOL_UP, nullptr},
        {"Chan Down", IDC_CHAN_DOWN, nullptr},
        {"CHAN\nDOWN", 0, nullptr},  // the line break stands for a space, not the other way
        {"home", IDC_HOME, nullptr},
        {"menu", 0, "MENU"},
        {"Page_Channel_Up", 0, "PAGE_CHANNEL_UP"},
        {"7", IDC_DIGIT_7, nullptr},
        {"select", 0, "SELECT"},  // the id without a button has no label
        {"POWE", 0, nullptr},
        {"", 0, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.word);
        const KeyCommandRow *labelled = FindKeyCommandRowByLabel(row.word);
        EXPECT_EQ(labelled ? labelled->id : 0u, row.label_id);
        if (labelled) {
            EXPECT_EQ(FindKeyCommandRow(row.label_id), labelled);
        }
        const KeyCommand *named = FindKeyCommandByName(row.word);
        EXPECT_STREQ(named ? named->name : nullptr, row.name);
    }
    EXPECT_EQ(KEY_COMMAND_TABLE_SIZE, 41);
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i)
        EXPECT_EQ(KeyCommandOfTag(KeyCommandTag(&KEY_COMMANDS[i])), &KEY_COMMANDS[i]);
    EXPECT_EQ(KeyCommandOfTag(0), nullptr);
    EXPECT_EQ(KeyCommandOfTag((unsigned short)(KEY_COMMAND_COUNT + 1)), nullptr);
}

// A stored line reads into its keys and pauses, or is kept whole and marked with why it is not usable.
TEST(Favourites, LinesReadIntoKeysOrAreKeptAsNotUsable)
{
    const std::string long_name(33, 'N');
    std::string keys_64, keys_65;
    for (int i = 0; i < 64; ++i) keys_64 += "OK ";
    keys_65 = keys_64 + "OK";
    struct Row {
        std::string line;
        const char *name;
        const char *steps;    // key names, and "+MS" for a pause; null when not usable
        const char *problem;  // a part of the message, when not usable
    };
    const Row rows[] = {
        {"Channel 101=1 0 1 OK", "Channel 101", "NUMBER1 NUMBER0 NUMBER1 OK", nullptr},
        {"Subtitles=MENU down Down ok", "Subtitles", "MENU DOWN DOWN OK", nullptr},
        {"News=705 /wait 1500 \"VOL UP\" PAGE_CHANNEL_UP", "News", "NUMBER7 NUMBER0 NUMBER5 +1500 VOLUME_UP PAGE_CHANNEL_UP", nullptr},
        {"a=b=OK", "a", nullptr, "\"b=OK\" is not a key"},
        {"Films=1 0 TWO OK", "Films", nullptr, "\"TWO\" is not a key"},
        {"Films=1 /wait", "Films", nullptr, "/wait needs"},
        {"Films=1 /wait 60001", "Films", nullptr, "a pause is"},
        {"Films=/text hello", "Films", nullptr, "\"/text\" is not a key"},
        {"Films=\"VOL UP", "Films", nullptr, "quote"},
        {"Films= /wait 5", "Films", nullptr, "no key"},
        {"Channel 101 1 0 1 OK", "", nullptr, "no '='"},
        {"=OK", "", nullptr, "1 to 32"},
        {long_name + "=OK", long_name.c_str(), nullptr, "1 to 32"},
        {long_name.substr(1) + "=OK", long_name.c_str() + 1, "OK", nullptr},
        {"Many=" + keys_64, "Many", nullptr, nullptr},
        {"Many=" + keys_65, "Many", nullptr, "65 keys"},
        {"Long=OK" + std::string(FAVOURITE_LINE_MAX, ' '), "Long", nullptr, "too long"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line.substr(0, 60));
        Favourite read = ReadFavourite(row.line);
        EXPECT_EQ(read.line, row.line);
        EXPECT_EQ(read.name, row.name);
        std::string steps;
        for (const KeyStep &step : read.steps)
            steps += (steps.empty() ? "" : " ") +
                     (step.kind == STEP_KEY ? std::string(step.key->name) : "+" + std::to_string(step.wait_ms));
        if (row.steps) {
            EXPECT_EQ(steps, row.steps);
        }
        if (row.problem) {
            EXPECT_FALSE(read.Usable());
            EXPECT_NE(read.problem.find(row.problem), std::string::npos) << read.problem;
            EXPECT_TRUE(read.steps.empty());
        } else {
            EXPECT_TRUE(read.Usable()) << read.problem;
        }
    }
    std::vector<Favourite> list = {ReadFavourite("x 1 OK"), ReadFavourite("News=OK"), ReadFavourite("news=1")};
    EXPECT_EQ(FindFavourite(list, "NEWS"), 1);
    EXPECT_EQ(FindFavourite(list, "x 1 OK"), -1);

    // Past the menu's 20, a line is not usable; once a line before it goes, it is, by its serial.
    std::vector<Favourite> many;
    for (int i = 0; i <= FAVOURITES_MAX; ++i) many.push_back(ReadFavourite("F" + std::to_string(i) + "=OK"));
    many.back().serial = 7;
    MarkFavouritesBeyondMenu(&many);
    EXPECT_FALSE(many.back().Usable());
    many.erase(many.begin());
    MarkFavouritesBeyondMenu(&many);
    EXPECT_TRUE(many.back().Usable() && many.back().serial == 7) << many.back().problem;
}
