#include "transport/undelivered_reason.h"

#include <winsock2.h>

#include "transport/transport_internal.h"

namespace {

struct ReasonRow {
    int error;
    const char *reason;
};

const char REFUSED[] = "the box refused the connection";
const char NO_ROUTE[] = "no route to the box";
const char NOT_IN_TIME[] = "no connection within 4 s";
const char ON_THIS_COMPUTER[] = "could not open a connection on this computer";
const char TOO_MANY[] = "too many keys are already waiting for the box";
const char SEND_FAILED[] = "the connection failed while sending";

// The errors a connection attempt reports, and those of this computer's own sockets; any
// other ended an exchange under way.
const ReasonRow REASONS[] = {
    {WSAECONNREFUSED, REFUSED},
    {WSAENETUNREACH, NO_ROUTE},
    {WSAEHOSTUNREACH, NO_ROUTE},
    {WSAENETDOWN, NO_ROUTE},
    {WSAETIMEDOUT, NOT_IN_TIME},
    {WSASYSNOTREADY, ON_THIS_COMPUTER},
    {WSAVERNOTSUPPORTED, ON_THIS_COMPUTER},
    {WSANOTINITIALISED, ON_THIS_COMPUTER},
    {WSAEPROCLIM, ON_THIS_COMPUTER},
    {WSAEMFILE, ON_THIS_COMPUTER},
    {WSAENOBUFS, ON_THIS_COMPUTER},
    {WSAEACCES, ON_THIS_COMPUTER},
    {WSAEADDRNOTAVAIL, ON_THIS_COMPUTER},  // an address this computer will not connect to
    {WSAEAFNOSUPPORT, ON_THIS_COMPUTER},
    {WSAEPROTONOSUPPORT, ON_THIS_COMPUTER},
    {WSAESOCKTNOSUPPORT, ON_THIS_COMPUTER},
    {WSAEINVAL, ON_THIS_COMPUTER},
    {WSAETOOMANYREFS, TOO_MANY},
};

}  // namespace

const char *UndeliveredReason(int error)
{
    static_assert(TXN_CONNECT_WAIT_MS == 4000, "the words name the connection's bound");
    for (const ReasonRow &row : REASONS)
        if (row.error == error) return row.reason;
    return SEND_FAILED;
}

bool NoConnectionMade(int error)
{
    for (const ReasonRow &row : REASONS)
        if (row.error == error) return row.reason == REFUSED || row.reason == NO_ROUTE || row.reason == NOT_IN_TIME;
    return false;
}
