#include "analysis/imagefile.h"

#include "base/atomicfile.h"

#include <QBuffer>

namespace lumo {

Status saveImageAtomically(const QImage& image, const QString& path, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, format))
        return Status::failure(QStringLiteral("%1: the picture could not be encoded").arg(path));
    return writeFileAtomically(path, buffer.data());
}

} // namespace lumo
