#pragma once
// The instrument's command protocol as pure functions over bytes: the output
// report, the fields of each reply, the tone commands and the model table.

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

namespace lumo::protocol {

constexpr quint16 VendorId = 0xC925;
constexpr quint16 ProductId = 0xA12F;
constexpr int ReportBufferSize = 65; // report id and 64 bytes

// Report id 0, the command's characters, blanks up to length - 1 (cut when longer).
QByteArray outputReport(const QByteArray& command, int outputLength);

// Reply fields; characters are counted from 1 after the report id.
int probeReading(const QByteArray& reply);        // 6-8, blanks trimmed, hexadecimal; 0 otherwise
QByteArray modelCode(const QByteArray& reply);    // 3-8
QString registerValue(const QByteArray& reply);   // 5-6 ("" when the reply is short)
// Registers 6, 7, 8 read as one six-digit hexadecimal number; 0 when they are not.
qint64 usageCounter(const QString& r6, const QString& r7, const QString& r8);
// The three register values of the counter plus one: FFFFFE -> FF, FF, FF.
std::array<QString, 3> incrementedCounterRegisters(qint64 counter);

QByteArray readRegisterCommand(int n);                    // "R0n0000"
QByteArray writeRegisterCommand(int n, const QString& hh); // "W0nhh00"
QList<QByteArray> toneCommands(int tone);                 // empty for an unknown tone

struct Model
{
    int number;
    const char* name;
    const char* code; // six characters reported in the reply to "P000000"
    int lampGroup;
};
const std::array<Model, 6>& models();
// 0 when the code is not in the table.
int modelNumberOfCode(const QByteArray& code);
QString modelName(int number); // "None!" for 0

} // namespace lumo::protocol
