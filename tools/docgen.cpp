// Writes the manual pages lumo.1 and lumo-cli.1 and the Debian changelog into
// DIR, from the command table and the release notes.
//   lumo-docgen --out DIR --version V --notes FILE --maintainer "NAME <MAIL>"
// The pages carry the date of the newest release, so a build writes the same pages every time.
#include "docgen.h"
#include "base/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const auto value = [&a](const char* name) {
        const int at = int(a.indexOf(QLatin1String(name)));
        return at > 0 ? a.value(at + 1) : QString();
    };
    const QString out = value("--out"), version = value("--version");
    QFile notes(value("--notes"));
    if (a.size() != 9 || out.isEmpty() || version.isEmpty() || !notes.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "usage: lumo-docgen --out DIR --version V --notes FILE "
                             "--maintainer \"NAME <MAIL>\"\n");
        return 2;
    }
    QByteArray changelog;
    QDate released;
    lumo::Status s = lumo::debianChangelog(QString::fromUtf8(notes.readAll()), version, value("--maintainer"),
                                           &changelog, &released);
    const QString date = released.toString(Qt::ISODate);
    const QDir dir(out);
    if (s) s = lumo::writeFileAtomically(dir.filePath(QStringLiteral("changelog")), changelog);
    using lumo::ManualPage;
    for (const auto& [which, file] :
         {std::pair{ManualPage::Lumo, "lumo.1"}, std::pair{ManualPage::LumoCli, "lumo-cli.1"}})
        if (s)
            s = lumo::writeFileAtomically(dir.filePath(QLatin1String(file)),
                                          lumo::manualPage(which, version, date).toUtf8());
    if (!s) std::fprintf(stderr, "lumo-docgen: %s\n", qPrintable(s.error));
    return s ? 0 : 2;
}
