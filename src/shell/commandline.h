#pragma once
// The command lines of both programs described once: every lumo-cli command
// with its synopsis, options and description, the options shared by the
// commands, the window's options, and the manual's other sections. The
// dispatch of lumo-cli checks a line against it before a command runs,
// `--help` is printed from it, the window's option parser is built from it,
// and the build writes the manual pages lumo(1) and lumo-cli(1) from it
// (tools/manpage.cpp), so none of them can say what another does not.
//
// Texts: paragraphs are separated by a blank line; a paragraph whose lines
// start with four blanks is shown as it is (an example); a paragraph that
// starts with "@TERM\n" is TERM followed by its explanation (a file, a
// variable); `text` in backquotes is literal (bold in the manual).

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace lumo {

struct OptionSpec
{
    const char* name;        // "--to"
    const char* value;       // what its value is ("DIR"); empty for a flag
    const char* text;        // what it does
    bool repeatable = false; // may be given more than once (each value counts)
};

struct CommandSpec
{
    const char* name;                    // "operator"
    const char* word;                    // its sub-command ("add"), empty when it has none
    const char* synopsis;                // what follows the name and word
    const char* summary;                 // one line, for the overview
    const char* description;             // paragraphs
    std::vector<OptionSpec> options;     // the command's own options
    std::vector<const char*> instrument; // the instrument options it takes ("--simulate", ...)

    QString title() const; // "operator add"
};

enum class ManualPage
{
    Lumo,   // lumo(1), the window
    LumoCli // lumo-cli(1)
};

struct ManualSection
{
    const char* title; // "ENVIRONMENT"
    const char* text;  // paragraphs
    std::vector<ManualPage> pages;
};

// Every lumo-cli command, in the order the manual lists them.
const std::vector<CommandSpec>& cliCommands();
// Taken by every command, anywhere on the line: --data-dir, --database, --operator, --help.
const std::vector<OptionSpec>& commonOptions();
// The simulated or recorded instrument: only the commands that name them take them.
const std::vector<OptionSpec>& instrumentOptions();
// The window's options (lumo), which its option parser is built from.
const std::vector<OptionSpec>& windowOptions();
// The manual's sections besides the options and the commands, in order.
const std::vector<ManualSection>& manualSections();
// What each page is, for its NAME and DESCRIPTION.
const char* manualName(ManualPage page);
const char* manualDescription(ManualPage page);

// A lumo-cli line checked against the table, before anything is touched.
struct CommandLine
{
    QString error;                         // why the line is refused (exit 2); empty when it is not
    bool help = false;                     // --help: print it and do nothing else
    QString command;                       // the command's name, empty for none
    std::vector<const CommandSpec*> specs; // the command's entries (one, or each sub-command's)
    QStringList args;                      // the command, its sub-command, its options and arguments
    std::vector<std::pair<QString, QString>> shared; // common and instrument options given, with values
};

// Splits the line: shared options wherever they stand, the command, then its
// own options and arguments. An option the command does not know, one whose
// value is missing, or one given twice that is not repeatable is an error
// naming the option. An argument starting with "--" is an option; one
// starting with a single "-" (a negative reading) is not.
CommandLine parseCliLine(const QStringList& arguments);

// `lumo-cli --help`: the common options and every command in one line each.
QString cliOverview();
// `lumo-cli COMMAND --help`: the command's (or each sub-command's) usage,
// description and options.
QString commandHelp(const std::vector<const CommandSpec*>& specs);
// A text of the table as plain lines of at most `width` columns: backquotes
// dropped, examples as they are, "@TERM" paragraphs as the term and its text indented.
QString plainText(const char* text, int indent = 0, int width = 79);

} // namespace lumo
