// The key vocabulary: the box's keys on the wire, and the look-ups that the programs use.
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
