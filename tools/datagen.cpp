// Builds the database files delivered with the program: the empty template,
// the knowledge texts and the master treatment programs.
//   lumo-datagen --sources DIR --out DIR

#include "pictures.h"

#include "base/codec.h"
#include "knowledge/decipher.h"
#include "knowledge/sources.h"
#include "measurement/catalogue.h"
#include "records/database.h"
#include "records/programs.h"
#include "records/schema.h"
#include "shell/datadir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
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
bool build(const QString& path, FileKind kind, const std::function<bool(Database&, QString*)>& fill,
           QString* error)
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
        if (!t.active()) {
            *error = t.begun().error;
            return false;
        }
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

QString readText(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return QString();
    }
    return QString::fromUtf8(f.readAll());
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Every field is stored enciphered; the first pair is fixed per field so that
// the build gives the same file every time.
bool fillKnowledge(Database& db, const QString& sources, QString* error)
{
    const QStringList& fields = knowledgeTextFields();
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("INSERT INTO ZUMTDB (MKEY, %1, DtGpM) VALUES (?%2, ?)")
                  .arg(fields.join(QStringLiteral(", ")), QStringLiteral(",?").repeated(fields.size())));
    for (int key = 1; key <= 17; ++key) {
        const QString path = QStringLiteral("%1/knowledge/%2.txt")
                                 .arg(sources, QStringLiteral("%1").arg(key, 2, 10, QLatin1Char('0')));
        const QString text = readText(path, error);
        if (text.isNull()) return false;
        auto entry = parseKnowledgeSource(key, text, error);
        if (!entry) return false;
        q.addBindValue(key);
        for (int i = 0; i < fields.size(); ++i) {
            // The stored texts are code page 950: a character it cannot hold is a source error.
            const QString& plain = entry->fields.value(fields[i]);
            if (fromCp950(toCp950(plain)) != plain) {
                *error =
                    QStringLiteral("%1: %2 holds a character outside code page 950").arg(path, fields[i]);
                return false;
            }
            auto stored =
                EncipherKnowledgeText(entry->fields.value(fields[i]), (key * 37 + i * 11) % 256, error);
            if (!stored) return false;
            q.addBindValue(*stored);
        }
        q.addBindValue(key <= 12 ? png(pictures::coursePicture(key - 1)) : QByteArray());
        if (!q.exec()) {
            *error = sqlError(q);
            return false;
        }
    }
    return true;
}

bool fillPrograms(Database& db, const QString& sources, QString* error)
{
    ProgramStore store(db);
    const QDir dir(sources + QStringLiteral("/programs"));
    for (const QString& name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        const QString text = readText(dir.filePath(name), error);
        if (text.isNull()) return false;
        auto program = parseProgramSource(text, error);
        if (!program) {
            *error = name + QStringLiteral(": ") + *error;
            return false;
        }
        Status st = store.append(program->program);
        for (ConditionRow& c : program->conditions)
            if (st) st = store.appendCondition(c);
        if (!st) {
            *error = st.error;
            return false;
        }
    }
    return true;
}

bool writePictures(const QString& out, QString* error)
{
    for (int point = 1; point <= 24; ++point)
        for (int style = 1; style <= 3; ++style) {
            const QString path = out + QStringLiteral("/Data/") + pictureFileName(point, style);
            if (!pictures::pointPicture(point, style).save(path, "BMP")) {
                *error = QStringLiteral("%1: cannot be written").arg(path);
                return false;
            }
        }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString sources, out;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--sources"))
            sources = args[++i];
        else if (args[i] == QLatin1String("--out"))
            out = args[++i];
    }
    if (out.isEmpty()) return fail(QStringLiteral("usage: lumo-datagen --sources DIR --out DIR"));
    if (!QDir().mkpath(out + QStringLiteral("/Data")))
        return fail(QStringLiteral("cannot create %1").arg(out));

    QString error;
    if (!build(out + QLatin1Char('/') + QLatin1String(TemplateDatabaseFile), FileKind::Main, nullptr, &error))
        return fail(error);
    if (!build(
            out + QLatin1Char('/') + QLatin1String(KnowledgeDatabaseFile), FileKind::Knowledge,
            [&](Database& db, QString* e) { return fillKnowledge(db, sources, e); }, &error))
        return fail(error);
    if (!build(
            out + QLatin1Char('/') + QLatin1String(MasterProgramDatabaseFile), FileKind::Master,
            [&](Database& db, QString* e) { return fillPrograms(db, sources, e); }, &error))
        return fail(error);
    if (!writePictures(out, &error)) return fail(error);
    return 0;
}
