#include "instrument/protocol.h"

namespace lumo::protocol {
namespace {

bool isHex(const QByteArray& s)
{
    if (s.isEmpty()) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

QByteArray outputReport(const QByteArray& command, int outputLength)
{
    QByteArray buffer(ReportBufferSize, ' ');
    buffer[0] = 0;
    const int room = std::min(outputLength, ReportBufferSize) - 1;
    for (int i = 0; i < room && i < command.size(); ++i) buffer[i + 1] = command.at(i);
    return buffer.left(std::max(outputLength, 1));
}

int probeReading(const QByteArray& reply)
{
    const QByteArray field = reply.mid(5, 3).trimmed();
    return isHex(field) ? field.toInt(nullptr, 16) : 0;
}

QByteArray modelCode(const QByteArray& reply) { return reply.mid(2, 6); }

QString registerValue(const QByteArray& reply) { return QString::fromLatin1(reply.mid(4, 2)); }

qint64 usageCounter(const QString& r6, const QString& r7, const QString& r8)
{
    const QByteArray all = (r6 + r7 + r8).toLatin1();
    return isHex(all) ? all.toLongLong(nullptr, 16) : 0;
}

std::array<QString, 3> incrementedCounterRegisters(qint64 counter)
{
    const QString text = QStringLiteral("%1").arg(counter + 1, 6, 16, QLatin1Char('0')).toUpper();
    return {text.mid(0, 2), text.mid(2, 2), text.mid(4, 2)};
}

QByteArray readRegisterCommand(int n) { return QByteArray("R0") + QByteArray::number(n) + "0000"; }

QByteArray writeRegisterCommand(int n, const QString& hh)
{
    return QByteArray("W0") + QByteArray::number(n) + hh.toLatin1() + "00";
}

QList<QByteArray> toneCommands(int tone)
{
    switch (tone) {
    case 1: return {"S1E1A00"};
    case 2: return {"S1E0F00", "S1E1A00"};
    case 3: return {"S172C00", "S1F2000"};
    case 4: return {"S330D00"};
    case 5: return {"S192C00"};
    case 6: return {"S193400", "S162F00"};
    case 7: return {"S3E0700"};
    case 8: return {"S291A00"};
    case 9: return {"S3E0800"};
    case 10: return {"S2E0A00"};
    case 11: return {"S221100"};
    case 12: return {"S191100"};
    }
    return {};
}

const std::array<Model, 6>& models()
{
    static const std::array<Model, 6> table = {{
        {1, "Corvan A", "CV0A11", 1},
        {2, "Corvan B", "CV0B11", 1},
        {3, "Corvan C", "CV0C22", 2},
        {4, "Corvan D", "CV0D22", 2},
        {5, "Corvan E", "CV0E11", 1},
        {6, "Corvan F", "CV0F22", 2},
    }};
    return table;
}

int modelNumberOfCode(const QByteArray& code)
{
    for (const Model& m : models())
        if (code == m.code) return m.number;
    return 0;
}

QString modelName(int number)
{
    for (const Model& m : models())
        if (m.number == number) return QString::fromLatin1(m.name);
    return QStringLiteral("None!");
}

} // namespace lumo::protocol
