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
const char NOT_IN_TIME[] = "no connection within 30 s";
const char SEND_FAILED[] = "the connection failed while sending";

// The errors a connection attempt reports; any other ended an exchange under way.
const ReasonRow REASONS[] = {
    {WSAECONNREFUSED, REFUSED},
    {WSAENETUNREACH, NO_ROUTE},
    {WSAEHOSTUNREACH, NO_ROUTE},
    {WSAENETDOWN, NO_ROUTE},
    {WSAEADDRNOTAVAIL, NO_ROUTE},
    {WSAETIMEDOUT, NOT_IN_TIME},
};

}  // namespace

const char *UndeliveredReason(int error)
{
    static_assert(TXN_LIFETIME_MS == 30000, "the words name the exchange's bound");
    for (const ReasonRow &row : REASONS)
        if (row.error == error) return row.reason;
    return SEND_FAILED;
}
