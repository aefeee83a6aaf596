#pragma once
// An operation's outcome as a value: travels up to the place that can show it.

#include <QString>

namespace lumo {

struct Status
{
    bool ok = true;
    QString error;

    static Status success() { return {}; }
    static Status failure(const QString& message) { return {false, message}; }
    explicit operator bool() const { return ok; }
};

} // namespace lumo
