#include "treatment/ui/programpicture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <optional>

namespace lumo {

ProgramPicture::ProgramPicture(QSize frame, QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFixedSize(frame);
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("PictureImage"));
    m_image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_image->setGeometry(contentsRect());
}

void ProgramPicture::setPicture(const QByteArray& bytes)
{
    m_bytes = bytes;
    refresh();
}

void ProgramPicture::setOwnSize(bool ownSize)
{
    m_ownSize = ownSize;
    refresh();
}

void ProgramPicture::refresh()
{
    QPixmap pm;
    if (!m_bytes.isEmpty()) pm.loadFromData(m_bytes);
    m_image->setScaledContents(!m_ownSize);
    m_image->setPixmap(pm);
}

std::optional<QByteArray> readPictureFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = f.readAll();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    if (bytes.isEmpty() || reader.read().isNull()) return std::nullopt;
    return bytes;
}

} // namespace lumo
