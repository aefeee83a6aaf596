#pragma once
// The keys of the actions that several screens share. One table, so that an
// action has the same key on every screen where it exists; the screens' tool
// tips and the list under 系統支援 are made from it.

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
    Quit         // 離開系統: end the program
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
};

const QVector<CommonShortcut>& commonShortcuts();
// The entry whose captions hold `caption` (outer blanks ignored), or null.
const CommonShortcut* shortcutForCaption(const QString& caption);
// The entry of an action.
const CommonShortcut& shortcutFor(CommonAction action);
// A hint with the key after it: "經絡能量數據測量 (F5)".
QString hintWithKey(const QString& hint, const QKeySequence& key);
// The list under 系統支援 → 快速鍵一覽, one line per key.
QString shortcutListText();

} // namespace lumo
