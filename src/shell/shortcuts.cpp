#include "shell/shortcuts.h"

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

// Function keys for the measuring screen's steps, in the order a measurement
// goes through them; the usual desktop keys for storing, opening and printing.
const QVector<CommonShortcut>& commonShortcuts()
{
    static const QVector<CommonShortcut> table = {
        {CommonAction::Start,
         QKeySequence(Qt::Key_F5),
         u("開始測量（經絡測量、開始校準、開始定位）"),
         {u("經絡測量"), u("開始校準"), u("開始定位")}},
        {CommonAction::Stop,
         QKeySequence(Qt::Key_F6),
         u("停止測量（停止測量、停止校準、停止定位）"),
         {u("停止測量"), u("停止校準"), u("停止定位")}},
        {CommonAction::Analyse, QKeySequence(Qt::Key_F7), u("能量分析"), {u("能量分析")}},
        {CommonAction::Compare, QKeySequence(Qt::Key_F8), u("能量比對"), {u("能量比對")}},
        {CommonAction::ManualEntry, QKeySequence(Qt::Key_F9), u("數據輸入"), {u("數據輸入")}},
        {CommonAction::Save,
         QKeySequence(Qt::CTRL | Qt::Key_S),
         u("儲存（儲存資料、儲存數據、確認異動）"),
         {u("儲存資料"), u("儲存數據"), u("確認異動")}},
        {CommonAction::Load,
         QKeySequence(Qt::CTRL | Qt::Key_O),
         u("讀取資料、載入資料"),
         {u("讀取資料"), u("載入資料")}},
        {CommonAction::NewSubject, QKeySequence(Qt::CTRL | Qt::Key_N), u("新增受測者"), {u("新增受測者")}},
        {CommonAction::Print, QKeySequence(Qt::CTRL | Qt::Key_P), u("列印"), {u("列  印")}},
        {CommonAction::Trend, QKeySequence(Qt::CTRL | Qt::Key_T), u("歷次趨勢"), {u("歷次趨勢")}},
        {CommonAction::Filter,
         QKeySequence(Qt::CTRL | Qt::Key_F),
         u("篩選受測者（編號、姓名或電話的任一部分）"),
         {}},
        {CommonAction::Recent,
         QKeySequence(Qt::CTRL | Qt::Key_R),
         u("最近的受測者（最近 10 位，按數字選取）"),
         {}},
        {CommonAction::Leave, QKeySequence(Qt::Key_Escape), u("離開畫面（離  開）"), {u("離  開")}, false},
        {CommonAction::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q), u("離開系統"), {u("離開系統")}},
    };
    return table;
}

const CommonShortcut* shortcutForCaption(const QString& caption)
{
    const QString c = caption.trimmed();
    for (const CommonShortcut& s : commonShortcuts())
        if (s.captions.contains(c)) return &s;
    return nullptr;
}

const CommonShortcut& shortcutFor(CommonAction action)
{
    for (const CommonShortcut& s : commonShortcuts())
        if (s.action == action) return s;
    return commonShortcuts().front();
}

QString hintWithKey(const QString& hint, const QKeySequence& key)
{
    const QString k = key.toString(QKeySequence::NativeText);
    const QString suffix = QStringLiteral(" (") + k + QLatin1Char(')');
    if (hint.endsWith(suffix)) return hint;
    return hint.isEmpty() ? k : hint + suffix;
}

QString shortcutListText()
{
    QStringList lines;
    lines << u("各畫面共用的快速鍵：");
    for (const CommonShortcut& s : commonShortcuts())
        lines << s.key.toString(QKeySequence::NativeText).leftJustified(8, QLatin1Char(' ')) + s.what;
    lines << QString() << u("Tab / Shift+Tab：在按鈕與欄位間移動；Enter 或空白鍵：按下目前的按鈕。")
          << u("詢問視窗：Y 為「是」，N 或 Esc 為「否」；會刪除或取代資料的詢問，預設為「否」。");
    return lines.join(QLatin1Char('\n'));
}

} // namespace lumo
