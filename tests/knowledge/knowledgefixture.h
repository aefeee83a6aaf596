#pragma once
// A knowledge file whose every field names its key and field ("3:DtMA1").

#include "knowledge/decipher.h"
#include "records/database.h"
#include "records/schema.h"

#include <QSqlQuery>

namespace lumo::test {

inline std::unique_ptr<Database> labelledKnowledgeFile(const QString& path)
{
    Status st;
    {
        auto db = Database::create(path, FileKind::Knowledge, &st);
        QSqlQuery q(db->sql());
        const QStringList& fields = knowledgeTextFields();
        q.prepare(QStringLiteral("INSERT INTO ZUMTDB (MKEY, %1) VALUES (?%2)")
                      .arg(fields.join(QStringLiteral(", ")), QStringLiteral(",?").repeated(fields.size())));
        for (int key = 1; key <= 17; ++key) {
            q.addBindValue(key);
            for (const QString& f : fields) q.addBindValue(*EncipherKnowledgeText(QStringLiteral("%1:%2").arg(key).arg(f), key));
            q.exec();
        }
    }
    return Database::open(path, FileKind::Knowledge, Database::Access::ReadOnly, &st);
}

} // namespace lumo::test
