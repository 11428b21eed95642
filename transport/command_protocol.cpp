#include "transport/command_protocol.h"

int FrameFreeText(const char *typed, int typed_length, char *frame, int frame_size)
{
    if (typed == nullptr || frame == nullptr) return 0;
    if (typed_length < FREE_TEXT_MIN || typed_length > FREE_TEXT_MAX) return 0;
    if (frame_size < typed_length + 3) return 0;
    for (int i = 0; i < typed_length; ++i) frame[i] = typed[i];
    frame[typed_length] = '\r';
    frame[typed_length + 1] = '\n';
    frame[typed_length + 2] = '\0';
    return typed_length + 3;
}
