// Winsock start-ups of the transport's workers (the command transactions and the box search),
// made one at a time. Used only inside transport/.
#pragma once
#include <winsock2.h>
#include <windows.h>

// Winsock 2.2 or nothing: a granted version other than 2.2 is cleaned up at once.
bool StartWinsock();
void CleanUpWinsock();
