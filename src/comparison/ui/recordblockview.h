#pragma once
// A header block of the comparison screens: 編號, 姓名, 體能, 電位, 日期 and
// 時間 of one measurement, or six empty fields.

#include "comparison/comparisonprint.h"

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
    // The field texts in the order of the block (for checks and accessibility).
    QStringList texts() const;
    QLabel* field(int i) const { return m_fields[i]; }

private:
    const char* m_energyFormat;
    QString m_standard;
    QLabel* m_fields[6];
};

} // namespace lumo
