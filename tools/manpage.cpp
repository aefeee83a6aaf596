// The manual pages lumo(1) and lumo-cli(1) in roff, from the table that also
// checks lumo-cli's command lines and prints its --help.
#include "docgen.h"

#include <algorithm>

namespace lumo {
namespace {

// Prose safe for roff: backslashes written as \e, the dashes of an option
// as \- (a hyphen would print as another character).
QString escaped(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    s.replace(QLatin1String("--"), QLatin1String("\\-\\-"));
    return s;
}

// Something typed (a command, a file name): every dash a minus.
QString literal(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    s.replace(QLatin1Char('-'), QLatin1String("\\-"));
    return s;
}

// A line that would start with a request or a control character goes behind \&.
QString line(const QString& s)
{
    return s.startsWith(QLatin1Char('.')) || s.startsWith(QLatin1Char('\'')) ? QStringLiteral("\\&") + s : s;
}

// `literal` in bold.
QString inline_(const QString& s)
{
    QString out;
    const QStringList parts = s.split(QLatin1Char('`'));
    for (int i = 0; i < parts.size(); ++i)
        out += i % 2 == 1 ? QStringLiteral("\\fB") + literal(parts.at(i)) + QStringLiteral("\\fR")
                          : escaped(parts.at(i));
    return out;
}

QString lines(const QString& text)
{
    QString out;
    for (const QString& l : text.split(QLatin1Char('\n')))
        out += line(inline_(l.trimmed())) + QLatin1Char('\n');
    return out;
}

QString paragraphs(const char* source)
{
    QString out;
    for (const QString& p : QString::fromUtf8(source).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        if (p.startsWith(QLatin1String("    "))) {
            out += QStringLiteral(".PP\n.RS 4\n.nf\n");
            for (const QString& l : p.split(QLatin1Char('\n')))
                out += line(literal(l.mid(4))) + QLatin1Char('\n');
            out += QStringLiteral(".fi\n.RE\n");
        } else if (p.startsWith(QLatin1Char('@'))) {
            const int end = int(p.indexOf(QLatin1Char('\n')));
            out += QStringLiteral(".TP\n\\fB") + literal(p.mid(1, end - 1)) + QStringLiteral("\\fR\n") +
                   lines(p.mid(end + 1));
        } else {
            out += QStringLiteral(".PP\n") + lines(p);
        }
    }
    return out;
}

QString optionItem(const OptionSpec& o)
{
    QString head = QStringLiteral("\\fB%1\\fR").arg(literal(QLatin1String(o.name)));
    if (*o.value) head += QStringLiteral(" \\fI%1\\fR").arg(literal(QLatin1String(o.value)));
    if (o.repeatable) head += QStringLiteral(" ...");
    return QStringLiteral(".TP\n") + head + QLatin1Char('\n') + lines(QString::fromUtf8(o.text));
}

QString options(const std::vector<OptionSpec>& list)
{
    QString out;
    for (const OptionSpec& o : list)
        out += optionItem(o);
    return out;
}

QString commands()
{
    QString out = QStringLiteral(".SH COMMANDS\n");
    for (const CommandSpec& s : cliCommands()) {
        const QString heading = (s.title() + QLatin1Char(' ') + QLatin1String(s.synopsis)).trimmed();
        out += QStringLiteral(".SS \"%1\"\n").arg(literal(heading));
        out += paragraphs(s.description);
        for (const OptionSpec& o : s.options)
            out += optionItem(o);
        if (!s.instrument.empty()) {
            QStringList names;
            for (const char* n : s.instrument)
                names << QStringLiteral("\\fB%1\\fR").arg(literal(QLatin1String(n)));
            out += QStringLiteral(".PP\nAlso takes %1 (see INSTRUMENT OPTIONS).\n")
                       .arg(names.join(QStringLiteral(", ")));
        }
    }
    return out;
}

} // namespace

QString manualPage(ManualPage which, const QString& version, const QString& date)
{
    const bool cli = which == ManualPage::LumoCli;
    const QString name = cli ? QStringLiteral("lumo-cli") : QStringLiteral("lumo");
    QString out =
        QStringLiteral(".\\\" Written by lumo-docgen from src/shell/commandline.h's table; edit that.\n");
    out += QStringLiteral(".TH %1 1 %2 \"lumo %3\" \"User Commands\"\n").arg(name.toUpper(), date, version);
    // Option names and file names must read as typed: no hyphenation, no stretched blanks.
    out += QStringLiteral(".nh\n.ad l\n");
    const QString title = QString::fromUtf8(manualName(which));
    const int dash = int(title.indexOf(QLatin1String(" - ")));
    out +=
        QStringLiteral(".SH NAME\n%1 \\- %2\n").arg(literal(title.left(dash)), escaped(title.mid(dash + 3)));
    out += QStringLiteral(".SH SYNOPSIS\n");
    out += cli ? QStringLiteral(
                     ".B lumo\\-cli\n[\\fICOMMON OPTIONS\\fR] \\fICOMMAND\\fR [\\fIOPTIONS\\fR] "
                     "[\\fIARGUMENTS\\fR]\n.br\n.B lumo\\-cli\n[\\fICOMMAND\\fR] \\fB\\-\\-help\\fR\n")
               : QStringLiteral(".B lumo\n[\\fIOPTIONS\\fR]\n");
    out += QStringLiteral(".SH DESCRIPTION\n") + paragraphs(manualDescription(which));
    if (cli) {
        out += QStringLiteral(".SH COMMON OPTIONS\n") + options(commonOptions());
        out += QStringLiteral(".SH INSTRUMENT OPTIONS\n") + options(instrumentOptions()) + commands();
    } else {
        out += QStringLiteral(".SH OPTIONS\n") + options(windowOptions()) +
               QStringLiteral(
                   ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nDescribe the options and do nothing else.\n"
                   ".TP\n\\fB\\-\\-help\\-all\\fR\nThe same, with Qt's own options.\n");
    }
    for (const ManualSection& s : manualSections())
        if (std::find(s.pages.begin(), s.pages.end(), which) != s.pages.end())
            out += QStringLiteral(".SH \"%1\"\n").arg(QLatin1String(s.title)) + paragraphs(s.text);
    return out;
}


} // namespace lumo
