#pragma once
// Reads a small file whole, refusing anything that is not a regular file or
// that is larger than any real file of its kind: a device that never ends
// (/dev/zero), a FIFO that blocks until a writer comes, a folder.

#include "base/status.h"

#include <QByteArray>
#include <QString>

namespace lumo {

Status readRegularFile(const QString& path, qint64 limit, QByteArray* content);

} // namespace lumo
