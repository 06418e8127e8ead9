#pragma once

// How a Steam Web API list ended, as plain values. Header-only for the same reason as RunFacts.h:
// the wording reads it without linking the network core.

#include <QString>

namespace rollcall::search {

enum class WebApiEnd {
    Complete, // every filter's list came back whole
    CapReached, // the caller's server cap cut the list short
    CeilingReached, // ServerList::Ceiling servers listed; the first are kept
    NoKey, // no key to send: nothing was asked
    BadAddress, // the base is not an http(s) address with a host: nothing was asked
    InsecureRefused, // plain http:// to a host other than this machine: nothing was asked
    KeyRefused, // 401 or 403
    RateLimited, // 429
    ServerError, // 5xx
    BadResponse, // not the expected JSON, or a status other than those above (a redirect too)
    TooLarge, // a body over WebApiClient::MaxBodyBytes, declared or received
    TimedOut, // a request not complete within the time-out, however slowly it trickled
    TlsError, // the certificate or the handshake failed, or no TLS library to be had
    NetworkError, // no address, no connection, or the transfer broke off
};

struct WebApiOutcome
{
    WebApiEnd end = WebApiEnd::Complete;
    int count = 0; // servers reported in all batches, also those before a failure
    int httpStatus = 0; // the status of the answer that ended the list; 0 when none came
    // What the server or the network said: the status's reason phrase, or the network error's
    // text. Printable, shortened, and never holding the key.
    QString detail;

    friend bool operator==(const WebApiOutcome &, const WebApiOutcome &) = default;
};

} // namespace rollcall::search
