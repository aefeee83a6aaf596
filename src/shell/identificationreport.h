#pragma once
// What `lumo-cli instrument` prints for support staff: the start-up
// identification as JSON on stdout, and on stderr why the instrument was not
// accepted, with a hint when the cause is that this user may not open it.

#include "shell/startupcheck.h"

#include <QByteArray>
#include <QStringList>

namespace lumo {

// The udev rule that lets the user at the seat open the instrument.
inline constexpr const char* UdevRuleFile = "70-lumo.rules";

struct IdentificationReport
{
    QByteArray json;
    QStringList messages; // for stderr, in order
};

IdentificationReport identificationReport(const StartupStatus& status, bool attached, qint64 usageCounter);

// The hint shown when the instrument is present but may not be opened.
QString accessRefusedHint();

} // namespace lumo
