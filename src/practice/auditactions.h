#pragma once
// The actions the audit log records: each row keeps its short English key
// (the stable name lumo-cli prints and other programs rely on), and the
// screens show the Chinese name beside it. The log's door takes no key that
// is not listed here, so every row can be read.

#include <QString>

#include <span>

namespace lumo {

struct AuditAction
{
    const char* key;   // stored in LUMOAUDIT.ACTION, e.g. "subject.delete"
    const char* label; // what the screens show, e.g. 刪除受測者
};

// Every action, in the order the page's filter offers them.
std::span<const AuditAction> auditActions();

bool isAuditAction(const QString& key);
// The Chinese name of a key; an unknown key (from a newer program) as it is.
QString auditActionLabel(const QString& key);
// What a filter typed or chosen means: a listed name gives its key; anything
// else (a key, or a key's first word) stays as typed.
QString auditActionKey(const QString& typed);

} // namespace lumo
