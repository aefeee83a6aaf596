// Builds the database files delivered with the program: the empty template,
// the knowledge texts and the master treatment programs.
//   lumo-datagen --sources DIR --out DIR

#include "app/datadir.h"
#include "records/database.h"
#include "records/programs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <cstdio>

using namespace lumo;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "lumo-datagen: %s\n", qPrintable(message));
    return 1;
}

// Builds into a temporary name and renames at the end, so an interrupted
// build never leaves a half-filled file that looks finished.
bool build(const QString& path, FileKind kind, const std::function<bool(Database&, QString*)>& fill, QString* error)
{
    const QString temp = path + QStringLiteral(".tmp");
    QFile::remove(temp);
    {
        Status st;
        auto db = Database::create(temp, kind, &st);
        if (!db) {
            *error = st.error;
            return false;
        }
        Transaction t(*db);
        if (fill && !fill(*db, error)) return false;
        Status c = t.commit();
        if (!c) {
            *error = c.error;
            return false;
        }
        QSqlQuery q(db->sql());
        q.exec(QStringLiteral("VACUUM"));
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        *error = QStringLiteral("cannot rename %1").arg(temp);
        return false;
    }
    return true;
}

bool fillKnowledge(Database& db, QString* error)
{
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("INSERT INTO ZUMTDB (MKEY) VALUES (?)"));
    for (int key = 1; key <= 17; ++key) {
        q.addBindValue(key);
        if (!q.exec()) {
            *error = sqlError(q);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString sources, out;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--sources")) sources = args[++i];
        else if (args[i] == QLatin1String("--out")) out = args[++i];
    }
    if (out.isEmpty()) return fail(QStringLiteral("usage: lumo-datagen --sources DIR --out DIR"));
    if (!QDir().mkpath(out + QStringLiteral("/Data"))) return fail(QStringLiteral("cannot create %1").arg(out));

    QString error;
    if (!build(out + QLatin1Char('/') + QLatin1String(TemplateDatabaseFile), FileKind::Main, nullptr, &error))
        return fail(error);
    if (!build(out + QLatin1Char('/') + QLatin1String(KnowledgeDatabaseFile), FileKind::Knowledge, fillKnowledge, &error))
        return fail(error);
    if (!build(out + QLatin1Char('/') + QLatin1String(MasterProgramDatabaseFile), FileKind::Master, nullptr, &error))
        return fail(error);
    return 0;
}
