#include "shell/configuration.h"

#include "base/atomicfile.h"
#include "base/boundedread.h"
#include "base/codec.h"
#include "base/formats.h"

#include <QDate>
#include <QStringList>
#include <cmath>

namespace lumo {
namespace {

const char* const kNames[ConfigurationLineCount] = {
    "CalibStandard", "CalibHigh", "PrintOptions", "MinResponse", "CalibDate", "HighPotential",
    "UserName1", "UserName2", "UserData1", "UserData2", "ReservedFlags", "LocateSound",
    "LocateKeepHighest", "LocateSensitivity", "LocateHighest", "LocateHighPotential",
    "PointPictureStyle", "ToolFlags", "ToolHint1", "ToolHint2", "ToolHint3", "ToolHint4",
    "ToolHint5", "ToolHint6", "ToolProgram1", "ToolProgram2", "ToolProgram3", "ToolProgram4",
    "ToolProgram5", "ToolProgram6", "ToolParam1", "ToolParam2", "ToolParam3", "ToolParam4",
    "ToolParam5", "ToolParam6"};

QString u(const char* s) { return QString::fromUtf8(s); }

// Fallbacks for text lines 3..18 when the line is blank (created defaults differ for some).
QString textFallback(int line)
{
    switch (line) {
    case 3: return QStringLiteral("0111000000000000000");
    case 5: return shortDate(QDate::currentDate());
    case 7: return u("LUMO經絡能量分析儀");
    case 8: return u("LUMO 經絡能量分析儀分析報表");
    case 9: return u("Quenta事業有限公司");
    case 10: return u("中西醫科學研究中心");
    case 11: return QStringLiteral("11000");
    case 18: return QStringLiteral("000000");
    }
    return {};
}

int intFallback(int line) { return (line == 1 || line == 2) ? 4000 : line == 14 ? 2 : 1; }
double realFallback(int line) { return line == 4 ? 1.0 : 0.0; }

// Leading and trailing blanks and control characters, as a line is tested for emptiness.
QString trimControls(const QString& s)
{
    int b = 0, e = int(s.size());
    while (b < e && s.at(b).unicode() <= 0x20) ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20) --e;
    return s.mid(b, e - b);
}

QStringList splitLines(const QByteArray& content)
{
    QStringList lines;
    QByteArray current;
    for (int i = 0; i < content.size(); ++i) {
        char ch = content.at(i);
        if (ch == '\r' || ch == '\n') {
            lines << fromCp950(current);
            current.clear();
            if (ch == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n') ++i;
        } else {
            current.append(ch);
        }
    }
    if (!current.isEmpty()) lines << fromCp950(current);
    return lines;
}

QString realText(double v) { return QString::number(v, 'g', 15); }

} // namespace

Configuration Configuration::createdDefaults()
{
    Configuration c;
    c.CalibStandard = 4000;
    c.CalibHigh = 4000;
    c.PrintOptions = QStringLiteral("0111000000000000000");
    c.MinResponse = 1.0;
    c.CalibDate = shortDate(QDate::currentDate());
    c.HighPotential = false;
    c.UserName1 = textFallback(7);
    c.UserName2 = textFallback(8);
    c.UserData1 = textFallback(9);
    c.UserData2 = textFallback(10);
    c.ReservedFlags = QStringLiteral("11000");
    c.LocateSound = true;
    c.LocateKeepHighest = false;
    c.LocateSensitivity = 2;
    c.LocateHighest = 0;
    c.LocateHighPotential = false;
    c.PointPictureStyle = 1;
    c.ToolFlags = QStringLiteral("111000");
    c.ToolHint = {u("連結Quenta事業有限公司全球資訊網"), u("啟動影音播放功能"), u("文件編輯功能"), QString(), QString(), QString()};
    c.ToolProgram = {QString(), QStringLiteral("wmplayer.exe"), QStringLiteral("winword.exe"), QString(), QString(), QString()};
    c.ToolParam = {QString::fromLatin1(MakerWebAddress), QString(), QString(), QString(), QString(), QString()};
    return c;
}

bool Configuration::printOption(int position) const
{
    return position >= 1 && position <= PrintOptions.size() && PrintOptions.at(position - 1) == QLatin1Char('1');
}

const char* settingName(int line) { return kNames[line - 1]; }

SettingRef settingRef(Configuration& c, int line)
{
    switch (line) {
    case 1: return &c.CalibStandard;
    case 2: return &c.CalibHigh;
    case 3: return &c.PrintOptions;
    case 4: return &c.MinResponse;
    case 5: return &c.CalibDate;
    case 6: return &c.HighPotential;
    case 7: return &c.UserName1;
    case 8: return &c.UserName2;
    case 9: return &c.UserData1;
    case 10: return &c.UserData2;
    case 11: return &c.ReservedFlags;
    case 12: return &c.LocateSound;
    case 13: return &c.LocateKeepHighest;
    case 14: return &c.LocateSensitivity;
    case 15: return &c.LocateHighest;
    case 16: return &c.LocateHighPotential;
    case 17: return &c.PointPictureStyle;
    case 18: return &c.ToolFlags;
    }
    if (line <= 24) return &c.ToolHint[size_t(line - 19)];
    if (line <= 30) return &c.ToolProgram[size_t(line - 25)];
    return &c.ToolParam[size_t(line - 31)];
}

Configuration parseConfiguration(const QByteArray& content)
{
    const QStringList lines = splitLines(content);
    Configuration c;
    for (int line = 1; line <= ConfigurationLineCount; ++line) {
        // A short file reads its missing lines as empty ones.
        const QString text = line <= lines.size() ? lines.at(line - 1) : QString();
        SettingRef ref = settingRef(c, line);
        if (auto* i = std::get_if<int*>(&ref)) {
            bool ok = false;
            int v = text.trimmed().toInt(&ok);
            if (!ok) v = intFallback(line);
            if ((line == 1 || line == 2) && v < 2000) v = 4000;
            **i = v;
        } else if (auto* d = std::get_if<double*>(&ref)) {
            bool ok = false;
            double v = text.trimmed().toDouble(&ok);
            **d = (ok && std::isfinite(v)) ? v : realFallback(line);
        } else if (auto* b = std::get_if<bool*>(&ref)) {
            **b = text == QLatin1String("1");
        } else if (auto* s = std::get_if<QString*>(&ref)) {
            if (line <= 18)
                **s = trimControls(text).isEmpty() ? textFallback(line) : text;
            else
                **s = text;
        }
    }
    return c;
}

QByteArray serializeConfiguration(const Configuration& cfg)
{
    Configuration c = cfg;
    QByteArray out;
    for (int line = 1; line <= ConfigurationLineCount; ++line) {
        SettingRef ref = settingRef(c, line);
        QString text;
        if (auto* i = std::get_if<int*>(&ref))
            text = QString::number(**i);
        else if (auto* d = std::get_if<double*>(&ref))
            text = realText(**d);
        else if (auto* b = std::get_if<bool*>(&ref))
            text = **b ? QStringLiteral("1") : QStringLiteral("0");
        else if (auto* s = std::get_if<QString*>(&ref)) {
            text = **s;
            // A line break inside a value would shift every later line of the
            // positional file; the editing screens offer single-line fields only.
            text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        out += toCp950(text);
        out += "\r\n";
    }
    return out;
}

Status LoadConfiguration(const QString& path, Configuration& out)
{
    QByteArray content;
    const Status s = readRegularFile(path, ConfigurationSizeLimit, &content);
    if (!s) return Status::failure(s.error + QString::fromUtf8("；設定檔無法讀取，所有設定暫用預設值。"));
    out = parseConfiguration(content);
    return Status::success();
}

Status SaveConfiguration(const QString& path, const Configuration& c)
{
    return writeFileAtomically(path, serializeConfiguration(c));
}

} // namespace lumo
