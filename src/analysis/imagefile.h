#pragma once
// Saves a picture the way every file of the program is written: encoded whole
// in memory, then written beside the target and renamed, so a full disk keeps
// the old picture and says so.

#include "base/status.h"

#include <QImage>
#include <QString>

namespace lumo {

Status saveImageAtomically(const QImage& image, const QString& path, const char* format = "PNG");

} // namespace lumo
