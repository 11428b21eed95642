// Why a command did not reach the box, in words, from the Winsock error that a
// WM_TXN_UNDELIVERED notice carries. The window's sign and the command-line sender say the same.
#pragma once

// A short phrase without a capital or a full stop, for example "the box refused the connection".
const char *UndeliveredReason(int error);
// True when the error says that no connection to the box was made at all (refused, no route,
// none in time): what a box in deep standby gives.
bool NoConnectionMade(int error);
