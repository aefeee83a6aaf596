#pragma once
// A picture that fills the room it gets, whole and undistorted: shown at the
// largest size that fits, centred, and scaled again from the original
// whenever the window is resized.

#include <QLabel>
#include <QPixmap>

namespace lumo {

class PictureLabel : public QLabel
{
public:
    PictureLabel(QSize minimum, QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture); // a null picture empties the label
    const QPixmap& picture() const { return m_original; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();
    QPixmap m_original;
};

} // namespace lumo
