#include "transport/command_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
