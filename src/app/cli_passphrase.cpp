// The backup passphrase on the command line: lumo-cli backup-passphrase set,
// the passphrase that backup --encrypt and restore of an encrypted copy read
// from LUMO_BACKUP_PASSPHRASE or standard input (never from an argument,
// which every user of the machine can read in the process list), and
// decrypt-backup, which turns any encrypted copy (a server's dump included,
// which only pg_restore reads) back into its clear file.
#include "app/cli.h"

#include "backup/backuppassphrase.h"
#include "backup/encryptedbackup.h"
#include "practice/audit.h"

#include <QFile>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace lumo {
namespace {

// Longer than any passphrase a person types; a stream without a line end stops here.
constexpr qint64 MaxPassphraseBytes = 1024;

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// One line of standard input, without echo on a terminal.
QByteArray readLine(QTextStream& err, const QString& prompt)
{
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        err << prompt << Qt::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QFile in;
    QByteArray line;
    if (in.open(stdin, QIODevice::ReadOnly)) line = in.readLine(MaxPassphraseBytes + 1);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << Qt::endl;
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

Status readBackupPassphrase(CliContext& c, bool twice, QByteArray* passphrase)
{
    const QByteArray fromEnv = qgetenv("LUMO_BACKUP_PASSPHRASE");
    if (!fromEnv.isEmpty()) {
        *passphrase = fromEnv;
        return Status::success();
    }
    *passphrase = readLine(*c.err, u("備份密語："));
    if (passphrase->isEmpty())
        return Status::failure(u("需要備份密語：請由環境變數 LUMO_BACKUP_PASSPHRASE 或標準輸入提供。"));
    if (passphrase->size() > MaxPassphraseBytes)
        return Status::failure(u("備份密語太長（最多 %1 個位元組）。").arg(MaxPassphraseBytes));
    // A typo in a passphrase nobody sees would lock every later copy away: asked twice on a terminal.
    if (twice && ::isatty(STDIN_FILENO) && readLine(*c.err, u("再輸入一次：")) != *passphrase)
        return Status::failure(u("兩次輸入的備份密語不同：未變更。"));
    return Status::success();
}

int cmdBackupPassphrase(CliContext& c)
{
    if (c.args.size() != 2 || c.args.at(1) != QLatin1String("set")) {
        *c.err << "usage: lumo-cli [--data-dir DIR] backup-passphrase set   (the passphrase from "
                  "LUMO_BACKUP_PASSPHRASE or standard input)"
               << Qt::endl;
        return 2;
    }
    QByteArray passphrase;
    Status s = readBackupPassphrase(c, true, &passphrase);
    if (s) s = setBackupPassphrase(c.dataDirectory, passphrase);
    passphrase.fill('\0');
    if (!s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    *c.out << u("已設定備份密語（只保存其驗證值）。") << Qt::endl;
    // The passphrase stands whether or not the log takes its entry; a log
    // that did not is said, and the command fails so that a script notices.
    s = auditCommand(c, {QStringLiteral("settings.change"), {}, 0, QLatin1String(BackupPassphraseSetDetail)});
    if (s) return 0;
    *c.err << s.error << Qt::endl;
    return 2;
}

int cmdDecryptBackup(CliContext& c)
{
    const int to = int(c.args.indexOf(QStringLiteral("--to")));
    if (c.args.size() != 4 || (to != 1 && to != 2)) {
        *c.err << "usage: lumo-cli [--data-dir DIR] decrypt-backup FILE --to OUT   (the passphrase from "
                  "LUMO_BACKUP_PASSPHRASE or standard input)"
               << Qt::endl;
        return 2;
    }
    const QString out = c.args.at(to + 1);
    const QString file = c.args.at(to == 1 ? 3 : 1);
    if (!isEncryptedBackup(file)) {
        *c.err << u("%1：不是加密的備份檔。").arg(file) << Qt::endl;
        return 2;
    }
    QByteArray passphrase;
    Status s = readBackupPassphrase(c, false, &passphrase);
    // Refuses a file already there; a wrong passphrase or a changed byte leaves nothing behind.
    if (s) s = decryptBackupFile(file, out, passphrase);
    passphrase.fill('\0');
    if (!s) {
        *c.err << s.error << Qt::endl;
        return 2;
    }
    *c.out << u("已解密到：") << out << Qt::endl;
    s = auditCommand(c, {QStringLiteral("export"), {}, 0, u("解密備份 %1 → %2").arg(file, out)});
    if (s) return 0;
    *c.err << s.error << Qt::endl;
    return 2;
}

} // namespace lumo
