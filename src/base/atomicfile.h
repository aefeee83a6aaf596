#pragma once
// Replaces a file as a whole: the new content is written beside it, forced to
// disk and renamed over the old file, so a crash or a full disk never leaves a
// truncated file behind. Every short write is an error (QSaveFile on this
// platform reports success after a write cut short by the file-size limit).

#include "base/status.h"

#include <QByteArray>
#include <QString>

namespace lumo {
Status writeFileAtomically(const QString& path, const QByteArray& content);
} // namespace lumo
