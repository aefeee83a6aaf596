#pragma once
// What the package documents besides the delivered data: the manual pages
// and the Debian changelog, written by lumo-docgen at build time.

#include "base/status.h"
#include "shell/commandline.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace lumo {

// lumo(1) or lumo-cli(1) in roff.
QString manualPage(ManualPage which, const QString& version, const QString& date);

// The release notes ("## VERSION (YYYY-MM-DD)" headings, "- " items, lines
// indented beneath an item continuing it) as a Debian changelog, newest
// first, and the newest entry's date. Fails when the newest entry is not
// `version`: a release whose notes were not written is not packaged.
Status debianChangelog(const QString& notes, const QString& version, const QString& maintainer,
                       QByteArray* changelog, QDate* released);

} // namespace lumo
