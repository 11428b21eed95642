// The main() of a test program that drives another program, whose path comes as the argument
// after GoogleTest's flags: Winsock started for its boxes, the path in Windows form.
#pragma once
#include <winsock2.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include "tests/support/wine_path.h"

inline int RunProgramTests(int argc, char **argv, const char *usage, std::string *program)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 2;
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        printf("usage: %s\n", usage);
        return 2;
    }
    *program = WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
