// A spreadsheet of subjects of any content: read and checked as the import
// checks it, against an empty practice. Whatever the bytes, the rows planned
// for import hold nothing a subject never holds, and what a problem echoes
// of the file stays short.
#include "fuzzsupport.h"

#include "records/database.h"
#include "records/subjectimport.h"

#include <algorithm>
#include <cstdlib>

using namespace lumo;

namespace {

bool hidden(QChar c)
{
    const char16_t v = c.unicode();
    return (v < 0x20 && v != u'\t' && v != u'\r' && v != u'\n') || (v >= 0x202A && v <= 0x202E) ||
           (v >= 0x2066 && v <= 0x2069);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Environment& env = fuzz::environment();
    static std::unique_ptr<Database> practice = [&env] {
        Status st;
        return Database::create(env.dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
    }();
    if (!practice) std::abort();
    CsvTable table;
    if (!parseCsv(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &table)) return 0;
    const ImportPlan plan =
        planSubjectImport(table, guessMapping(table.header), *practice, QDate(2024, 6, 1));
    for (const SubjectRow& s : plan.subjects) {
        if (s.CUSTNO.isEmpty() || s.CUSTNO.size() > 15) std::abort();
        for (const QString* f : {&s.CUSTNO, &s.NAME, &s.ADDR, &s.TEL, &s.TEL2, &s.TEL3, &s.EMAIL, &s.MEMO})
            if (std::any_of(f->begin(), f->end(), hidden)) std::abort();
    }
    for (const QVector<ImportProblem>* list : {&plan.problems, &plan.existing})
        for (const ImportProblem& p : *list)
            if (p.custNo.size() > 200) std::abort();
    return 0;
}
