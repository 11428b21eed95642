// Test programs receive Unix paths from CTest and scripts; under Wine the same file is on drive Z:.
#pragma once
#include <string>

inline std::string WindowsPath(const std::string &path)
{
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char &c : result)
        if (c == '/') c = '\\';
    return result;
}

