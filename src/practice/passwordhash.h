#pragma once
// The operators' password hashes: Argon2id from libargon2 in the library's
// encoded form, which carries its salt and parameters. The cost is the
// program's: calibrated once per data directory so that a login takes about
// half a second on the machine, never below OWASP's floor (19 MiB, 2 passes);
// a hash made with less is made again at the next successful login.

#include <QString>

namespace lumo {

struct PasswordCost
{
    unsigned memoryKiB = 19456;
    unsigned passes = 2;
    bool operator==(const PasswordCost&) const = default;
};

// OWASP's minimum for Argon2id, and what a process uses until told otherwise
// (the tests run with it).
PasswordCost floorPasswordCost();
PasswordCost passwordCost();
void setPasswordCost(PasswordCost cost);

// The cost whose hash takes about targetMs here: memory first (up to 64 MiB),
// then passes; the floor when the floor already takes longer.
PasswordCost calibratePasswordCost(int targetMs = 500);

// The data directory's cost (LumoPasswordCost.txt: "memoryKiB passes"),
// calibrated and written on first use; LUMO_PASSWORD_COST=floor keeps the floor
// (the end-to-end sessions). Sets it for this process.
void loadPasswordCost(const QString& dataDirectory);

// A new hash at the program's cost; empty when hashing failed.
QString hashPassword(const QString& password);
bool passwordMatches(const QString& encoded, const QString& password);

// "$argon2id$v=19$m=...,t=...,p=1$SALT$": a hash without its last field. The
// login computes the password's hash under these and the database compares
// the two, so that the stored hash itself need never leave the database.
QString hashSettings(const QString& encoded);
// The encoded hash of password under settings; empty when they cannot be read.
QString hashUnder(const QString& settings, const QString& password);
// Whether the program's cost is stronger than the one the settings name.
bool weakerThanProgram(const QString& settings);

} // namespace lumo
