#pragma once
// Typed work that one key must not throw away. A screen takes a snapshot of
// what it holds when it opens (and after it stored it); when it is about to
// close without storing (Esc, its close box, 離  開: all end in reject()), a
// different snapshot means typed changes, and the screen asks first, with 否
// (stay) as the default answer.

#include <QString>
#include <functional>

namespace lumo {

class UnsavedChanges
{
public:
    explicit UnsavedChanges(std::function<QString()> snapshot) : m_snapshot(std::move(snapshot)) {}

    // What the screen holds now counts as unchanged.
    void settle() { m_settled = m_snapshot(); }
    bool changed() const { return m_snapshot() != m_settled; }

private:
    std::function<QString()> m_snapshot;
    QString m_settled;
};

// The question asked before typed changes are discarded.
inline QString discardChangesQuestion()
{
    return QString::fromUtf8("輸入的資料尚未儲存，確定要放棄這些修改並離開嗎?");
}

} // namespace lumo
