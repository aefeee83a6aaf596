// The reader over the Access (Jet) files of the earlier Windows program,
// through mdbtools' library. Texts: Jet 3 stores them in the code page of the
// installation that wrote them, for this program's users code page 950; Jet 4
// stores UCS-2, which the library converts itself. Dates and numbers are read
// as the stored values, not through the library's text forms: its date
// formatter is wrong before 1900 and its doubles lose their last digit.
#include "records/legacysource.h"

#include "base/codec.h"

#include <glib.h>
// glib first: the library's header relies on it.
#include <mdbtools.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lumo {
namespace {

// Texts of a memo can be long: 64 K characters are three bytes each in UTF-8.
constexpr size_t BindSize = 256 * 1024;

// The library reads its character sets from the environment when a file is
// opened; setting them here makes every Jet 3 file read as code page 950 and
// every text arrive as UTF-8, whatever the user's environment says.
void setCharacterSets()
{
    static const bool once = [] {
        qputenv("MDB_JET3_CHARSET", Cp950Name);
        qputenv("MDBICONV", "UTF-8");
        return true;
    }();
    (void)once;
}

LegacyType typeOf(int colType)
{
    switch (colType) {
    case MDB_BOOL:
        return LegacyType::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return LegacyType::Integer;
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return LegacyType::Real;
    case MDB_DATETIME:
        return LegacyType::DateTime;
    case MDB_OLE:
    case MDB_BINARY:
        return LegacyType::Bytes;
    default:
        return LegacyType::Text;
    }
}

bool hasUsageMap(const MdbTableDef* table)
{
    return table->usage_map != nullptr && table->map_sz > 0;
}

// The column definitions may run onto a page the file does not have: the
// library then leaves the table without its column list.
bool readColumns(MdbTableDef* table)
{
    return mdb_read_columns(table) != nullptr && table->columns != nullptr &&
           table->columns->len >= table->num_cols;
}

QString damagedTableMessage(const QString& path, const QString& table)
{
    return QString::fromUtf8("%1：資料表 %2 的頁面配置無法讀取（檔案不完整或已損壞）").arg(path, table);
}

QString damagedColumnsMessage(const QString& path, const QString& table)
{
    return QString::fromUtf8("%1：資料表 %2 的欄位定義無法讀取（檔案不完整或已損壞）").arg(path, table);
}

class JetCursor : public LegacyCursor
{
public:
    JetCursor(MdbHandle* mdb, MdbTableDef* table, const QString& path, qint64 pages)
        : m_mdb(mdb), m_table(table), m_path(path), m_pages(pages)
    {
        mdb_rewind_table(m_table);
        m_buffers.resize(int(m_table->num_cols));
        for (unsigned i = 0; i < m_table->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
            m_buffers[int(i)] = QByteArray(int(BindSize), '\0');
            mdb_bind_column(m_table, int(i) + 1, m_buffers[int(i)].data(), nullptr);
            m_columns.append({QString::fromUtf8(col->name), typeOf(col->col_type)});
        }
    }
    ~JetCursor() override { mdb_free_tabledef(m_table); }

    const QVector<LegacyColumn>& columns() const override { return m_columns; }
    Status error() const override { return m_error; }

    bool next(LegacyRow* row) override
    {
        if (!m_error) return false;
        if (!mdb_fetch_row(m_table)) {
            // The library ends a table quietly where its pages are missing: a
            // table that yields fewer rows than its definition counts is cut.
            if (m_fetched < qint64(m_table->num_rows))
                m_error = Status::failure(
                    QString::fromUtf8("%1：資料表 %2 只讀到 %3 筆，應有 %4 筆（檔案不完整或已損壞）")
                        .arg(m_path, QString::fromUtf8(m_table->name), QString::number(m_fetched),
                             QString::number(m_table->num_rows)));
            return false;
        }
        ++m_fetched;
        row->resize(m_columns.size());
        for (unsigned i = 0; i < m_table->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
            (*row)[int(i)] = value(col, m_buffers[int(i)].constData());
            if (!m_error) return false;
        }
        return true;
    }

private:
    QVariant value(MdbColumn* col, const char* bound)
    {
        const unsigned char* page = m_mdb->pg_buf;
        const int start = col->cur_value_start;
        // A boolean lives in the null mask and is never null; for every other
        // type an empty value is a null one.
        if (col->col_type == MDB_BOOL) return QVariant(std::strcmp(bound, "1") == 0);
        if (col->cur_value_len == 0) return QVariant();
        if (!inPage(col)) {
            damaged(col);
            return QVariant();
        }
        switch (col->col_type) {
        case MDB_BYTE:
            return QVariant(qint64(mdb_get_byte(const_cast<unsigned char*>(page), start)));
        case MDB_INT:
            return QVariant(qint64(qint16(mdb_get_int16(const_cast<unsigned char*>(page), start))));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return QVariant(qint64(qint32(mdb_get_int32(const_cast<unsigned char*>(page), start))));
        case MDB_FLOAT:
            return QVariant(double(mdb_get_single(const_cast<unsigned char*>(page), start)));
        case MDB_DOUBLE:
        case MDB_DATETIME:
            return QVariant(mdb_get_double(const_cast<unsigned char*>(page), start));
        case MDB_MONEY:
        case MDB_NUMERIC:
            return QVariant(QByteArray(bound).toDouble());
        case MDB_BINARY:
            return QVariant(QByteArray(reinterpret_cast<const char*>(page) + start, col->cur_value_len));
        case MDB_OLE:
            if (!longValueWhole(col)) return QVariant();
            return bytesOf(col);
        case MDB_MEMO:
            if (!longValueWhole(col)) return QVariant();
            return textOf(col, bound);
        default:
            return textOf(col, bound);
        }
    }

    // Where the row's header says the value lies: a damaged header can point
    // outside the page, or give a negative length.
    bool inPage(const MdbColumn* col) const
    {
        qint64 need = col->cur_value_len;
        switch (col->col_type) {
        case MDB_BYTE:
            need = std::max<qint64>(need, 1);
            break;
        case MDB_INT:
            need = std::max<qint64>(need, 2);
            break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
        case MDB_FLOAT:
            need = std::max<qint64>(need, 4);
            break;
        case MDB_DOUBLE:
        case MDB_DATETIME:
            need = std::max<qint64>(need, 8);
            break;
        default:
            break;
        }
        const qint64 pageSize = std::min<qint64>(m_mdb->fmt->pg_size, MDB_PGSIZE);
        return col->cur_value_start >= 0 && col->cur_value_len > 0 && col->cur_value_start + need <= pageSize;
    }

    // A memo or a picture kept on pages of its own: the library gives an empty
    // value where those pages are missing, so a value whose first page lies
    // beyond the end of the file is a damaged one.
    bool longValueWhole(MdbColumn* col)
    {
        if (col->cur_value_len < MDB_MEMO_OVERHEAD) return true;
        unsigned char* page = m_mdb->pg_buf;
        const quint32 flags = quint32(mdb_get_int32(page, col->cur_value_start));
        if (flags & 0x80000000u) return true; // kept in the row itself
        const quint32 first = quint32(mdb_get_int32(page, col->cur_value_start + 4)) >> 8;
        if (first > 0 && qint64(first) < m_pages) return true;
        damaged(col);
        return false;
    }

    QVariant bytesOf(MdbColumn* col)
    {
        const qint64 declared =
            qint64(quint32(mdb_get_int32(m_mdb->pg_buf, col->cur_value_start)) & 0x3fffffffu);
        size_t size = 0;
        void* data = mdb_ole_read_full(m_mdb, col, &size);
        QByteArray bytes(static_cast<const char*>(data), qsizetype(size));
        std::free(data);
        // The length in the row's header is the picture's: fewer bytes mean lost pages.
        if (qint64(size) != declared) {
            damaged(col);
            return QVariant();
        }
        return QVariant(bytes);
    }

    void damaged(MdbColumn* col)
    {
        m_error = Status::failure(QString::fromUtf8("%1：資料表 %2 第 %3 筆的欄位 %4 不完整（檔案已損壞）")
                                      .arg(m_path, QString::fromUtf8(m_table->name),
                                           QString::number(m_fetched), QString::fromUtf8(col->name)));
    }

    QVariant textOf(MdbColumn* col, const char* bound)
    {
        const size_t length = std::strlen(bound);
        // The library cuts a text at its buffer: a value that fills it was cut.
        if (length + 1 >= BindSize) {
            m_error = Status::failure(
                QString::fromUtf8("%1：資料表 %2 的欄位 %3 內容過長，無法完整讀取")
                    .arg(m_path, QString::fromUtf8(m_table->name), QString::fromUtf8(col->name)));
            return QVariant();
        }
        return QVariant(QString::fromUtf8(bound, qsizetype(length)));
    }

    MdbHandle* m_mdb;
    MdbTableDef* m_table;
    QString m_path;
    qint64 m_pages;
    QVector<LegacyColumn> m_columns;
    QVector<QByteArray> m_buffers;
    Status m_error;
    qint64 m_fetched = 0;
};

// The catalog (MSysObjects) read as libmdb reads it, but without the
// property blocks of its rows, which this reader never uses: libmdb parses
// them along, and a damaged block makes it allocate until the memory is gone.
// A file holds at most a few thousand objects; a page chain that claims more
// is damaged.
bool readCatalog(MdbHandle* mdb)
{
    constexpr int MaxObjects = 100000;
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2; // where every Jet file keeps its catalog
    std::strcpy(objects.object_name, "MSysObjects");
    MdbTableDef* table = mdb_read_table(&objects);
    if (!table) return false;
    if (!hasUsageMap(table)) {
        mdb_free_tabledef(table);
        return false;
    }
    struct Free
    {
        MdbTableDef* t;
        ~Free() { mdb_free_tabledef(t); }
    } freeTable{table};
    if (!readColumns(table)) return false;
    QByteArray id(int(BindSize), '\0'), name(int(BindSize), '\0'), type(int(BindSize), '\0'),
        flags(int(BindSize), '\0');
    if (mdb_bind_column_by_name(table, const_cast<char*>("Id"), id.data(), nullptr) < 0 ||
        mdb_bind_column_by_name(table, const_cast<char*>("Name"), name.data(), nullptr) < 0 ||
        mdb_bind_column_by_name(table, const_cast<char*>("Type"), type.data(), nullptr) < 0 ||
        mdb_bind_column_by_name(table, const_cast<char*>("Flags"), flags.data(), nullptr) < 0)
        return false;
    mdb_rewind_table(table);
    if (mdb->catalog) mdb_free_catalog(mdb);
    mdb->catalog = g_ptr_array_new();
    mdb->num_catalog = 0;
    for (int n = 0; n < MaxObjects && mdb_fetch_row(table); ++n) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb;
        g_strlcpy(entry->object_name, name.constData(), sizeof entry->object_name);
        entry->object_type = std::atoi(type.constData()) & 0x7f;
        entry->table_pg = (unsigned long)(std::strtol(id.constData(), nullptr, 10) & 0x00ffffff);
        entry->flags = int(std::strtol(flags.constData(), nullptr, 10));
        g_ptr_array_add(mdb->catalog, entry);
    }
    mdb->num_catalog = mdb->catalog->len;
    return true;
}

class JetSource : public LegacySource
{
public:
    JetSource(const QString& path, MdbHandle* mdb) : m_path(path), m_mdb(mdb)
    {
        mdb_set_bind_size(m_mdb, BindSize);
        mdb_set_boolean_fmt_numbers(m_mdb);
    }
    ~JetSource() override { mdb_close(m_mdb); }

    bool load()
    {
        if (!readCatalog(m_mdb)) return false;
        for (guint i = 0; i < m_mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
                m_tables << QString::fromUtf8(entry->object_name);
        }
        return true;
    }

    Format format() const override
    {
        return m_mdb->f->jet_version == MDB_VER_JET3 ? Format::Jet3 : Format::Jet4;
    }
    QString path() const override { return m_path; }
    QStringList tables() const override { return m_tables; }

    std::unique_ptr<LegacyCursor> open(const QString& table, Status* status) override
    {
        MdbTableDef* def = read(table, status);
        if (!def) return nullptr;
        if (!readColumns(def)) {
            mdb_free_tabledef(def);
            *status = Status::failure(damagedColumnsMessage(m_path, table));
            return nullptr;
        }
        *status = Status::success();
        return std::make_unique<JetCursor>(m_mdb, def, m_path,
                                           QFileInfo(m_path).size() / m_mdb->fmt->pg_size);
    }

    qint64 rowCount(const QString& table, Status* status) override
    {
        MdbTableDef* def = read(table, status);
        if (!def) return -1;
        const qint64 rows = def->num_rows;
        mdb_free_tabledef(def);
        *status = Status::success();
        return rows;
    }

private:
    MdbTableDef* read(const QString& table, Status* status)
    {
        const QString name = tableName(table);
        MdbTableDef* def = nullptr;
        if (!name.isEmpty()) {
            // From the catalog read once (mdb_read_table_by_name would read it
            // again, with the property blocks readCatalog leaves out).
            const QByteArray n = name.toUtf8();
            for (guint i = 0; !def && i < m_mdb->num_catalog; ++i) {
                auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
                if (entry->object_type == MDB_TABLE && n == entry->object_name) def = mdb_read_table(entry);
            }
        }
        if (!def) {
            *status = Status::failure(QString::fromUtf8("%1：缺少資料表 %2").arg(m_path, table));
            return nullptr;
        }
        // A table whose page map could not be read has no pages to walk: the
        // library would follow the missing map and crash on the first row.
        if (!hasUsageMap(def)) {
            mdb_free_tabledef(def);
            *status = Status::failure(damagedTableMessage(m_path, table));
            return nullptr;
        }
        return def;
    }

    QString m_path;
    MdbHandle* m_mdb;
    QStringList m_tables;
};

} // namespace

std::unique_ptr<LegacySource> openJetSource(const QString& path, Status* status)
{
    setCharacterSets();
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb) {
        if (status) *status = Status::failure(notADatabaseMessage(path));
        return nullptr;
    }
    // A file of whole pages only: one cut short lost the pages after the cut.
    const qint64 pageSize = mdb->fmt->pg_size;
    const bool whole = pageSize > 0 && QFileInfo(path).size() % pageSize == 0;
    auto source = std::make_unique<JetSource>(path, mdb);
    if (!whole || !source->load()) {
        if (status) *status = Status::failure(notADatabaseMessage(path));
        return nullptr;
    }
    if (status) *status = Status::success();
    return source;
}

} // namespace lumo
