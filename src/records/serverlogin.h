#pragma once
// Reaching the main database on a PostgreSQL server: which one (a file
// lumo-server.conf in the data directory holding one libpq connection string,
// or --database on the command line, which wins), and the password the libpq
// way: ~/.pgpass, PGPASSFILE, a password= in the string the practice wrote, or
// a question at start-up whose answer is kept in memory only. The program
// never writes a password anywhere.

#include "records/database.h"

#include <functional>
#include <optional>

namespace lumo {

inline constexpr const char* ServerConfigFile = "lumo-server.conf";

// The connection string lumo-server.conf in the data directory holds (lines
// starting with # are comments; the rest is joined by blanks). Empty when there
// is no such file: the main database is the data directory's lumo4.mdb. A file
// that cannot be read, or holds no string, is an error.
Status readServerConfig(const QString& dataDir, QString* conninfo);

// A string libpq cannot read is refused with libpq's reason. So is a ';',
// which Qt's driver turns into a blank before libpq sees it. normalized gets
// the string as keyword='value' pairs (a URI too), as the driver passes it on.
Status checkConninfo(const QString& conninfo, QString* normalized = nullptr);

// Why a connection failed, as far as the password goes.
enum class LoginProblem
{
    None,          // the password is not the problem
    NeedsPassword, // the server asked for one and libpq had none
    WrongPassword  // the one given was refused
};
LoginProblem loginProblem(const ServerLogin& login);

// Asks the operator for the password of the server (the description names
// it); again is true after a refused one. Nothing: the operator declined.
using PasswordQuestion = std::function<std::optional<QString>(const QString& server, bool again)>;

// Connects, asking for the password when the server wants one that libpq
// does not have (three tries at most); the password typed stays in
// login->password, in memory. The error is the driver's text.
std::unique_ptr<Database> connectWithLogin(ServerLogin* login, const PasswordQuestion& ask, Status* status);

} // namespace lumo
