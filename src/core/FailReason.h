#pragma once
// Why a phone has no fresh balance. Kept with the phone's result so that the
// phones window, the command line and the retry rules can tell a network
// fault (worth another try) from an answer without a balance (a changed page
// or a wrong password, where trying again could lock the account).

#include <QString>

namespace zelvant {

enum class FailReason {
    None,            // the last request succeeded, or none failed yet
    NoConnection,    // refused, reset, host not found, proxy and protocol errors
    TimeOut,         // no answer within the time-out
    TlsRefused,      // the server's certificate did not verify
    HttpError,       // the server answered with an error status (see httpStatus)
    NoBalance,       // a page came, but without a balance
    TooLarge,        // the answer was over the size limit
    NoNumber,        // skipped: the slot has no number
    NoPassword,      // skipped: the slot has no password
    UnknownRegion,   // skipped: the slot's region has no login address
    BadLoginAddress, // the region's login address cannot be used
    NotMonitored,    // skipped: the slot is not monitored
    Stopped,         // the cycle was stopped before the phone's answer
    NotInKeyring,    // skipped: the keyring holds no password for it, or is out of reach
    RedirectRefused, // a redirection would have sent the login form or cookies elsewhere
};

struct PhoneFailure
{
    FailReason reason = FailReason::None;
    int httpStatus = 0; // of HttpError

    bool isFailure() const { return reason != FailReason::None; }
    // Faults of the way to the server, which may be gone an hour later:
    // no connection, time-out, TLS, and the server's own errors (5xx).
    bool isNetworkFault() const;
    // For the windows: "нет соединения", "ошибка HTTP 503", ...
    QString text() const;
    // For the command line: "no connection", "HTTP error 503", ...
    QString englishText() const;
    bool operator==(const PhoneFailure &) const = default;
};

} // namespace zelvant
