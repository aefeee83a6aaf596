// A change of several statements as one: begun, joined by the transactions
// opened inside it, committed once, and work held back until the commit.
#include "records/database.h"
#include "records/engine.h"

#include <QElapsedTimer>
#include <QThread>

namespace lumo {

Transaction::Transaction(Database& db) : m_db(db)
{
    if (db.m_writing > 0) {
        m_joined = m_active = true;
        ++db.m_writing;
        return;
    }
    if (db.m_transactions > 0) {
        m_begun = Status::failure(QStringLiteral("a transaction is already open"));
        return;
    }
    // BEGIN IMMEDIATE takes the write lock at once (waiting out another
    // workstation), so the transaction cannot fail half-way on a busy lock.
    // On the server each row is locked as it is written, waiting at most
    // lock_timeout for another workstation.
    m_begun = db.ensureConnected();
    if (m_begun) m_begun = db.m_engine->begin();
    m_active = m_begun.ok;
    if (m_active) {
        ++db.m_transactions;
        db.m_writing = 1;
        db.m_doomed = false;
    }
}

Transaction::~Transaction()
{
    if (!m_active) return;
    if (m_joined) {
        // The part that failed is undone with the whole at the outer commit.
        m_db.m_doomed = true;
        --m_db.m_writing;
        m_active = false;
        return;
    }
    m_db.m_engine->run(QStringLiteral("ROLLBACK"), {}, nullptr, nullptr);
    end();
}

void Transaction::end()
{
    m_active = false;
    --m_db.m_transactions;
    m_db.m_writing = 0;
    m_db.m_doomed = false;
    // Taken out first: the work may open a transaction of its own.
    std::vector<std::function<void()>> work;
    work.swap(m_db.m_afterCommit);
    if (m_committed)
        for (const auto& w : work)
            w();
}

void Database::afterCommit(std::function<void()> work)
{
    if (m_transactions > 0)
        m_afterCommit.push_back(std::move(work));
    else
        work();
}

Status Transaction::commit()
{
    if (!m_active) return m_begun;
    if (m_joined) {
        --m_db.m_writing;
        m_active = false;
        return Status::success();
    }
    if (m_db.m_doomed) {
        m_db.m_engine->run(QStringLiteral("ROLLBACK"), {}, nullptr, nullptr);
        end();
        return Status::failure(QString::fromUtf8("變更的一部分沒有完成，整個變更都沒有儲存。"));
    }
    const Status st = m_db.m_engine->commit();
    const bool lost = !st && m_db.onServer() && m_db.m_engine->lastErrorKind() == ErrorKind::ConnectionLost;
    if (!lost) {
        m_committed = st.ok;
        // On the server a failed COMMIT has ended the transaction; on SQLite
        // (a busy lock) it is still open and the destructor rolls it back.
        if (st || m_db.onServer()) end();
        return st;
    }
    // The work after the commit waits for what the server says it was.
    std::vector<std::function<void()>> work;
    work.swap(m_db.m_afterCommit);
    end();
    const Status settled = m_db.settleLostCommit(st);
    if (settled)
        for (const auto& w : work)
            w();
    return settled;
}

QString commitUnknownMessage()
{
    return QString::fromUtf8("與資料庫伺服器的連線在儲存的最後一步中斷，重新連線後仍無法確認這次的變更"
                             "是否已經寫入。請在連線恢復後重新查看資料，確認沒有寫入後再重做，以免重覆。");
}

// The server may have committed before the answer was lost: the transaction
// is looked up by its id on a new connection, for as long as another
// workstation's lock is waited for, so that a save reported as not written
// is never one the server holds (saved again, it would be there twice).
Status Database::settleLostCommit(const Status& lost)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < BusyTimeoutMs) {
        if (ensureConnected()) {
            switch (m_engine->lostCommitOutcome()) {
            case Engine::CommitOutcome::Committed:
                return Status::success();
            case Engine::CommitOutcome::RolledBack:
                return lost; // nothing of it was written, as the message says
            case Engine::CommitOutcome::Unknown:
                return Status::failure(commitUnknownMessage());
            case Engine::CommitOutcome::Pending:
                break;
            }
        }
        QThread::msleep(200);
    }
    return Status::failure(commitUnknownMessage());
}

} // namespace lumo
