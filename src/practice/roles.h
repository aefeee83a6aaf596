#pragma once
// What each role may do: one table, asked by every screen and command.
// Outside practice mode everything is allowed.

#include "practice/session.h"

#include <QString>

namespace lumo {

enum class Permission
{
    Measure,         // take readings
    Save,            // store a measurement
    Analyse,         // the analysis screen
    Compare,         // comparisons
    Trend,           // trends
    Knowledge,       // the knowledge pages
    Treatment,       // the treatment pages
    Print,           // printing and PDFs of a subject's records
    ExportSubject,   // a subject's records as files
    ResearchExport,  // the anonymous research files
    Delete,          // deleting subjects and measurements
    EditContacts,    // adding subjects and changing their contact data
    Import,          // imports that append
    ReplacingImport, // imports that replace what is there
    Restore,         // putting a backup in place of the main database
    Backup,          // a copy of the main database
    Settings,        // the user settings
    Operators,       // the operator accounts
    AuditLog,        // the audit log's page and export
    Calibrate,       // calibrating the probe
    Merge,           // merging two subjects
};
constexpr int PermissionCount = int(Permission::Merge) + 1;

// The rule of the table for a role.
bool roleAllows(Role role, Permission permission);
// For the session: everything outside practice mode, nothing before a login.
bool allowed(const OperatorSession& session, Permission permission);
// Why a control is disabled: "權限不足：…僅限…使用。" (its tool tip).
QString refusalReason(Permission permission);
// The command line's refusal and its login demand.
QString insufficientRightsMessage(); // 權限不足
QString loginRequiredMessage();      // 需要登入

} // namespace lumo
