#pragma once
// How a parameter text becomes the arguments of a started program, and a
// document text the address the desktop opens, without any shell in between:
// nothing in a stored parameter is ever run as a command.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace lumo {

// Splits as a POSIX shell splits words, and nothing more: blanks and tabs
// separate words; '...' keeps everything literally; "..." keeps blanks, and a
// backslash in it escapes only $ ` " \ and a line end; outside quotes a
// backslash escapes a blank, a quote or a backslash. Before any other
// character a backslash stays, where a shell would drop it: a path written
// with backslashes (as older installations stored them) reaches the program
// whole. A quote left open runs to the end of the text. No variables, globs
// or command substitution are expanded.
QStringList splitShellWords(const QString& text);

// A web address (any "scheme://" or "mailto:") is taken as written; anything
// else is a local file or folder path.
bool isWebAddress(const QString& text);
QUrl documentUrl(const QString& text);

} // namespace lumo
