#pragma once
// A program's illustration in its frame: at its own size (clipped by the
// frame) or stretched to the frame. Holds the stored bytes as they are, so
// that a picture shown and saved again is not re-encoded.

#include <QByteArray>
#include <QFrame>
#include <optional>

class QLabel;

namespace lumo {

class ProgramPicture : public QFrame
{
    Q_OBJECT
public:
    explicit ProgramPicture(QSize frame, QWidget* parent = nullptr);

    void setPicture(const QByteArray& bytes);
    const QByteArray& picture() const { return m_bytes; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    void setOwnSize(bool ownSize);
    bool ownSize() const { return m_ownSize; }
    // What shows in the frame now (for tests).
    QLabel* image() const { return m_image; }

private:
    void refresh();

    QLabel* m_image;
    QByteArray m_bytes;
    bool m_ownSize = false;
};

// The bytes of a picture file the program can show, or nothing for a file it
// cannot read or decode.
std::optional<QByteArray> readPictureFile(const QString& path);

} // namespace lumo
