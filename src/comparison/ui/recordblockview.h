#pragma once
// A header block of the comparison screens: 編號, 姓名, 體能, 電位, 日期 and
// 時間 of one measurement, or six empty fields.

#include "comparison/comparisonprint.h"
#include "practice/waitingroom.h"

#include <QGroupBox>
#include <optional>

class QLabel;

namespace lumo {

class RecordBlockView : public QGroupBox
{
public:
    // energyFormat: "%5.2f" or "%7.1f"; standardText: what standard potential reads as.
    RecordBlockView(const QString& caption, const char* energyFormat, const QString& standardText,
                    const QString& objectPrefix, QWidget* parent = nullptr);

    void showRecord(const std::optional<RecordBlock>& r);
    // Number and name masked while 候診區顯示 is on, and shown again when it changes.
    void followMasking(const WaitingRoomDisplay& display);
    // The field texts in the order of the block (for checks and accessibility).
    QStringList texts() const;
    QLabel* field(int i) const { return m_fields[i]; }

private:
    const char* m_energyFormat;
    QString m_standard;
    QLabel* m_fields[6];
    std::optional<RecordBlock> m_shown;
    const WaitingRoomDisplay* m_masking = nullptr;
};

} // namespace lumo
