// The key list: an item of the window's system menu that shows which keys act as which buttons.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Adds the key list to the window's system menu, and shows the list when it is chosen.
void AddKeyListMenuItem(HWND window);
void ShowKeyList(HWND window);
