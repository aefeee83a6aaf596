#pragma once
// The keys of the program's actions. One table, so that an action has the
// same key on every screen where it exists, and so that the list under
// 系統支援 → 快速鍵一覽 is made from the keys the actions carry: a screen
// gives its actions their keys from here (widgets/keyboard.h does it by the
// caption when the screen opens), never a key of its own.

#include <QKeySequence>
#include <QString>
#include <QStringList>
#include <QVector>

namespace lumo {

enum class CommonAction
{
    Start,       // start measuring (also calibrating, locating)
    Stop,        // stop measuring
    Analyse,     // 能量分析
    Compare,     // 能量比對
    ManualEntry, // 數據輸入
    Save,        // store what the screen holds
    Load,        // bring a stored measurement in
    NewSubject,  // 新增受測者
    Print,       // 列  印
    Trend,       // 歷次趨勢
    Filter,      // to the filter box of a subject list
    Recent,      // the last subjects worked with
    Leave,       // 離  開: close the screen
    Quit,        // 離開系統: end the program
    WaitingRoom, // 候診區顯示, heard in every window
    // The actions of one screen each.
    Remeasure,         // 重新測量
    EditSubject,       // 客戶修改
    DeleteSubject,     // 客戶刪除
    DeleteMeasurement, // 刪除資料
    ExportSubject,     // 匯出個人資料
    MergeSubjects,     // 合併受測者
    ImportSubjects,    // 匯入受測者清單
    PreviousPage,      // the print preview's pages and zoom
    NextPage,
    ZoomIn,
    ZoomOut,
    WholePage
};

struct CommonShortcut
{
    CommonAction action;
    QKeySequence key;
    QString what;         // how the list under 系統支援 names the action
    QStringList captions; // the buttons that carry it, as they read without outer blanks
    // False for Esc: every screen closes on it by itself, after an editor in
    // the screen (a grid cell, a list) had the first Esc; a shortcut would
    // take that first Esc away from the editor.
    bool bindsKey = true;
    // The screen the action belongs to, as the list names it; empty for the
    // actions that several screens share.
    QString screen;
};

const QVector<CommonShortcut>& commonShortcuts();
// The entry whose captions hold `caption` (outer blanks ignored), or null.
const CommonShortcut* shortcutForCaption(const QString& caption);
// The entry of an action.
const CommonShortcut& shortcutFor(CommonAction action);
// A key as the hints and the list write it: "Ctrl+S", "Shift+Del".
QString keyText(const QKeySequence& key);
// A hint with the key after it: "經絡能量數據測量 (F5)".
QString hintWithKey(const QString& hint, const QKeySequence& key);
// The list under 系統支援 → 快速鍵一覽, one line per key: the shared keys,
// then each screen's own under the screen's name.
QString shortcutListText();

} // namespace lumo
