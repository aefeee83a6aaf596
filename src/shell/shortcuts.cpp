#include "shell/shortcuts.h"

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

// Function keys for the measuring screen's steps, in the order a measurement
// goes through them; the usual desktop keys for storing, opening and printing;
// in the record browser F2 changes and Del deletes what is current, as in a
// file manager (Shift+Del the larger thing, the subject with its measurements).
const QVector<CommonShortcut>& commonShortcuts()
{
    static const QString measuring = u("經絡量測"), browser = u("經絡能量資料讀取"),
                         files = u("檔案匯入/匯出作業"), preview = u("預覽列印");
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
        {CommonAction::ManualEntry,
         QKeySequence(Qt::Key_F9),
         u("數據輸入、修改資料（以人工輸入數值）"),
         {u("數據輸入"), u("修改資料")}},
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
        // Heard by a filter in every window (practice/waitingroomkey.h), not by an action.
        {CommonAction::WaitingRoom,
         QKeySequence(Qt::Key_F12),
         u("候診區顯示（遮蔽姓名、編號、電話與生日）"),
         {u("候診區顯示")},
         false},
        {CommonAction::Remeasure, QKeySequence(Qt::Key_R), u("重新測量"), {u("重新測量")}, true, measuring},
        {CommonAction::EditSubject, QKeySequence(Qt::Key_F2), u("客戶修改"), {u("客戶修改")}, true, browser},
        {CommonAction::DeleteSubject,
         QKeySequence(Qt::SHIFT | Qt::Key_Delete),
         u("客戶刪除（受測者與其所有檢測資料）"),
         {u("客戶刪除")},
         true,
         browser},
        {CommonAction::DeleteMeasurement,
         QKeySequence(Qt::Key_Delete),
         u("刪除資料（目前的檢測資料）"),
         {u("刪除資料")},
         true,
         browser},
        {CommonAction::ExportSubject,
         QKeySequence(Qt::CTRL | Qt::Key_E),
         u("匯出個人資料"),
         {u("匯出個人資料")},
         true,
         browser},
        {CommonAction::MergeSubjects,
         QKeySequence(Qt::CTRL | Qt::Key_M),
         u("合併受測者"),
         {u("合併受測者")},
         true,
         browser},
        {CommonAction::ImportSubjects,
         QKeySequence(Qt::CTRL | Qt::Key_L),
         u("匯入受測者清單"),
         {u("匯入受測者清單")},
         true,
         files},
        {CommonAction::PreviousPage, QKeySequence(Qt::Key_PageUp), u("上一頁"), {u("上一頁")}, true, preview},
        {CommonAction::NextPage, QKeySequence(Qt::Key_PageDown), u("下一頁"), {u("下一頁")}, true, preview},
        {CommonAction::ZoomIn,
         QKeySequence(Qt::CTRL | Qt::Key_Plus),
         u("放大"),
         {u("放  大")},
         true,
         preview},
        {CommonAction::ZoomOut,
         QKeySequence(Qt::CTRL | Qt::Key_Minus),
         u("縮小"),
         {u("縮  小")},
         true,
         preview},
        {CommonAction::WholePage,
         QKeySequence(Qt::CTRL | Qt::Key_0),
         u("整頁顯示"),
         {u("整  頁")},
         true,
         preview},
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

// As the keys are printed on a keyboard here: Qt's translation of the native
// text turns Del into "刪除鍵 (Del)", which reads badly inside a hint's brackets.
QString keyText(const QKeySequence& key)
{
    return key.toString(QKeySequence::PortableText);
}

QString hintWithKey(const QString& hint, const QKeySequence& key)
{
    const QString k = keyText(key);
    const QString suffix = QStringLiteral(" (") + k + QLatin1Char(')');
    if (hint.endsWith(suffix)) return hint;
    return hint.isEmpty() ? k : hint + suffix;
}

QString shortcutListText()
{
    // The key, then what it does: a proportional font aligns no columns.
    auto line = [](const CommonShortcut& s) { return keyText(s.key) + u("：") + s.what; };
    QStringList lines;
    lines << u("各畫面共用的快速鍵：");
    QStringList screens;
    for (const CommonShortcut& s : commonShortcuts()) {
        if (s.screen.isEmpty())
            lines << line(s);
        else if (!screens.contains(s.screen))
            screens << s.screen;
    }
    for (const QString& screen : screens) {
        lines << QString() << screen + u("：");
        for (const CommonShortcut& s : commonShortcuts())
            if (s.screen == screen) lines << line(s);
    }
    lines << QString() << u("Tab / Shift+Tab：在按鈕與欄位間移動；Enter 或空白鍵：按下目前的按鈕。")
          << u("詢問視窗：Y 為「是」，N 或 Esc 為「否」；會刪除或取代資料的詢問，預設為「否」。");
    return lines.join(QLatin1Char('\n'));
}

} // namespace lumo
