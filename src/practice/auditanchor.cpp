#include "practice/auditanchor.h"

#include "records/database.h"
#include "records/legacysource.h"

#include <QFileInfo>
#include <algorithm>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace lumo {
namespace {

const char* const kSocket = "/run/systemd/journal/socket";

struct Anchor
{
    qint64 key;
    QByteArray hash;
};

// "FIELD=value" as the journal hands it back, the value only.
QByteArray field(sd_journal* j, const char* name)
{
    const void* data = nullptr;
    size_t length = 0;
    if (sd_journal_get_data(j, name, &data, &length) < 0) return {};
    const size_t skip = qstrlen(name) + 1;
    if (length < skip) return {};
    return QByteArray(static_cast<const char*>(data) + skip, qsizetype(length - skip));
}

} // namespace

QString anchorIdentity(Database& db)
{
    if (db.onServer()) return {};
    return QFileInfo(db.path()).canonicalFilePath();
}

// A socket file without a journald behind it (one that was stopped) refuses
// the connection: only an accepted one counts.
bool journalRunning()
{
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, kSocket, sizeof address.sun_path);
    const bool running = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return running;
}

bool sendAnchor(const QString& identity, qint64 key, const QString& hash)
{
    if (identity.isEmpty()) return false;
    const QByteArray db = identity.toUtf8();
    const QByteArray h = hash.toLatin1();
    return sd_journal_send("MESSAGE=audit row %lld %s", static_cast<long long>(key), h.constData(),
                           "SYSLOG_IDENTIFIER=lumo-audit", "PRIORITY=6", "LUMO_AUDIT_DB=%s", db.constData(),
                           "LUMO_AUDIT_KEY=%lld", static_cast<long long>(key), "LUMO_AUDIT_HASH=%s",
                           h.constData(), nullptr) >= 0;
}

Status readAnchors(const QString& identity, const std::function<void(qint64, const QByteArray&)>& each)
{
    sd_journal* j = nullptr;
    if (const int r = sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY); r < 0)
        return Status::failure(
            QString::fromUtf8("系統日誌無法開啟（%1）").arg(QString::fromLocal8Bit(strerror(-r))));
    const QByteArray match = "LUMO_AUDIT_DB=" + identity.toUtf8();
    sd_journal_add_match(j, match.constData(), size_t(match.size()));
    // Only the two fields are read: the rest of each entry stays unread.
    sd_journal_set_data_threshold(j, 0);
    SD_JOURNAL_FOREACH(j)
    {
        bool ok = false;
        const qint64 key = field(j, "LUMO_AUDIT_KEY").toLongLong(&ok);
        if (ok) each(key, field(j, "LUMO_AUDIT_HASH"));
    }
    sd_journal_close(j);
    return Status::success();
}

// The journal's rows sorted by key beside the log read in key order: one
// pass over each, whatever their size.
Status checkAnchors(Database& db, const QString& workstation, AnchorCheck* check)
{
    *check = {};
    const QString identity = anchorIdentity(db);
    std::vector<Anchor> anchors;
    if (identity.isEmpty()) return Status::success();
    Status s = readAnchors(identity, [&](qint64 key, const QByteArray& hash) {
        anchors.push_back({key, hash});
    });
    if (!s) return Status::success(); // no journal here: said as such, nothing claimed
    check->journal = true;
    std::stable_sort(anchors.begin(), anchors.end(),
                     [](const Anchor& a, const Anchor& b) { return a.key < b.key; });
    const qint64 firstAnchored = anchors.empty() ? 0 : anchors.front().key;
    std::unique_ptr<LegacyCursor> c =
        db.cursor(QStringLiteral("SELECT MKEY, WORKSTATION, HASH FROM LUMOAUDIT ORDER BY MKEY"), {}, &s);
    if (!c) return s;
    LegacyRow v;
    size_t at = 0;
    while (c->next(&v)) {
        const qint64 key = v.value(0).toLongLong();
        for (; at < anchors.size() && anchors[at].key < key; ++at)
            check->missing << anchors[at].key;
        bool seen = false, same = false;
        for (; at < anchors.size() && anchors[at].key == key; ++at) {
            seen = true;
            same = same || anchors[at].hash == v.value(2).toString().toLatin1();
        }
        if (seen)
            same ? ++check->anchored : (check->changed << key, 0);
        else if (v.value(1).toString() != workstation)
            ++check->elsewhere;
        else if (anchors.empty() || key < firstAnchored)
            ++check->beforeJournal;
        else
            check->unanchored << key;
    }
    for (; at < anchors.size(); ++at)
        check->missing << anchors[at].key;
    return c->error();
}

} // namespace lumo
