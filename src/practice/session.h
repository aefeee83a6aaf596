#pragma once
// Who is at the keyboard. Practice mode is on once the main database holds an
// operator; until then there is no login, every action is allowed and nothing
// is logged, so a practitioner alone at home sees no change.

#include <QString>

namespace lumo {

enum class Role
{
    Admin,        // everything, the operators, settings, import, restore and delete included
    Practitioner, // every clinical screen; not the operators, restore or replacing imports
    Assistant     // the front desk: subjects' contact data, measuring and saving
};

struct OperatorSession
{
    bool practiceMode = false; // the main database holds at least one operator
    QString name;              // the operator logged in; empty before the login
    Role role = Role::Admin;
    QString workstation; // this machine's name, as the log records it
    // The login's proof (the stored hash the typed password gave), kept in
    // memory only: a server takes account changes only with an admin's.
    QString proof;

    bool loggedIn() const { return !name.isEmpty(); }
};

} // namespace lumo
