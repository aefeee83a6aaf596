#pragma once
// Whether the instrument is there, for a status bar: a lamp and a text that
// follow plugging and unplugging while the window is open.

#include <QWidget>

class QLabel;

namespace lumo {

class Instrument;
class LedLamp;

class InstrumentStatus : public QWidget
{
    Q_OBJECT
public:
    // Without an instrument object (a headless test) the text says none is connected.
    explicit InstrumentStatus(Instrument* instrument, QWidget* parent = nullptr);
    QString text() const;

private:
    void showAttached(bool attached);

    Instrument* m_instrument;
    LedLamp* m_lamp;
    QLabel* m_label;
};

// The texts it shows.
QString instrumentConnectedText();
QString instrumentMissingText();
QString instrumentRefusedText();

} // namespace lumo
