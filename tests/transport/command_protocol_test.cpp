#include "transport/command_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
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
        EXPECT_EQ(Wire(*row.key), std::string("press ") + row.name + std::string("\r\n\0", 3));
        distinct.insert(Wire(*row.key));
    }
    EXPECT_EQ(distinct.size(), 34u);
    for (int i = 0; i < KEY_COMMAND_COUNT; ++i) EXPECT_EQ(distinct.count(Wire(*ALL_KEY_COMMANDS[i])), 1u);
}

TEST(FreeText, FramesTypedTextWithCrLfNul)
{
    char frame[FREE_TEXT_FRAME_MAX];
    ASSERT_EQ(FrameFreeText("abc", 3, frame, sizeof(frame)), 6);
    EXPECT_EQ(std::string(frame, 6), std::string("abc\r\n\0", 6));

    // Non-ASCII bytes pass unchanged.
    const char latin[] = "\xe9\xff";
    ASSERT_EQ(FrameFreeText(latin, 2, frame, sizeof(frame)), 5);
    EXPECT_EQ(std::string(frame, 5), std::string("\xe9\xff\r\n\0", 5));
}

TEST(FreeText, AcceptsOneTo251CharactersOnly)
{
    std::string text(300, 'x');
    char frame[400];
    memset(frame, 0x55, sizeof(frame));
    EXPECT_EQ(FrameFreeText(text.c_str(), 0, frame, sizeof(frame)), 0);
    EXPECT_EQ(FrameFreeText(text.c_str(), 252, frame, sizeof(frame)), 0);
    EXPECT_EQ(FrameFreeText(text.c_str(), -1, frame, sizeof(frame)), 0);
    EXPECT_EQ((unsigned char)frame[0], 0x55) << "a refused line writes nothing";
    EXPECT_EQ(FrameFreeText(text.c_str(), 1, frame, sizeof(frame)), 4);
    EXPECT_EQ(FrameFreeText(text.c_str(), 251, frame, sizeof(frame)), 254);
    EXPECT_EQ(frame[253], '\0');
    EXPECT_EQ((unsigned char)frame[254], 0x55) << "nothing past the frame";
    // A frame buffer too small is refused rather than overrun.
    EXPECT_EQ(FrameFreeText(text.c_str(), 10, frame, 12), 0);
}
