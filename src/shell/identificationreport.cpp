#include "shell/identificationreport.h"

#include "base/json.h"
#include "instrument/protocol.h"

namespace lumo {

QString accessRefusedHint()
{
    return QStringLiteral(
               "The instrument is plugged in, but this user may not open it: the udev rule %1 is "
               "missing. Install the lumo package, or copy data/udev/%1 to /etc/udev/rules.d/, run "
               "'udevadm control --reload-rules', and plug the instrument in again.")
        .arg(QLatin1String(UdevRuleFile));
}

IdentificationReport identificationReport(const StartupStatus& s, bool attached, qint64 usageCounter)
{
    IdentificationReport r;
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("attached")).value(attached);
    w.key(QStringLiteral("model")).value(s.model);
    w.key(QStringLiteral("modelName")).value(protocol::modelName(s.model));
    w.key(QStringLiteral("serial")).value(s.serial.isEmpty() ? QStringLiteral("None!") : s.serial);
    w.key(QStringLiteral("hardware")).value(s.hardware);
    w.key(QStringLiteral("counter")).value(usageCounter);
    // Support tells a missing udev rule from a missing instrument by this key.
    if (s.accessRefused) w.key(QStringLiteral("error")).value("permission");
    w.endObject();
    r.json = w.text();
    if (!s.ready) r.messages << s.message;
    if (s.accessRefused) r.messages << accessRefusedHint();
    return r;
}

} // namespace lumo
