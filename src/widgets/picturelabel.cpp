#include "widgets/picturelabel.h"

namespace lumo {

PictureLabel::PictureLabel(QSize minimum, QWidget* parent) : QLabel(parent)
{
    setMinimumSize(minimum);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAlignment(Qt::AlignCenter);
    setScaledContents(false);
}

void PictureLabel::setPicture(const QPixmap& picture)
{
    m_original = picture;
    rescale();
}

void PictureLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    rescale();
}

void PictureLabel::rescale()
{
    if (m_original.isNull()) {
        clear();
        return;
    }
    setPixmap(m_original.scaled(contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace lumo
