#include "shell/commandline.h"

#include <algorithm>

namespace lumo {
namespace {

QString text(const char* s)
{
    return QString::fromUtf8(s);
}

bool isOption(const QString& a)
{
    return a.startsWith(QLatin1String("--"));
}

const OptionSpec* findOption(const std::vector<OptionSpec>& options, const QString& name)
{
    for (const OptionSpec& o : options)
        if (name == QLatin1String(o.name)) return &o;
    return nullptr;
}

// A near miss of a known option (one or two letters wrong, missing or extra):
// the option the user most likely meant.
int distance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size() + 1));
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] =
                std::min({up + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[size_t(b.size())];
}

QString nearest(const QString& given, const std::vector<const OptionSpec*>& known)
{
    QString best;
    int bestDistance = 3;
    for (const OptionSpec* o : known) {
        const int d = distance(given, QLatin1String(o->name));
        if (d < bestDistance) {
            bestDistance = d;
            best = QLatin1String(o->name);
        }
    }
    return best;
}

// The options a command takes besides --help: its own, the common ones and
// the instrument options it names.
std::vector<const OptionSpec*> optionsOf(const CommandSpec* spec)
{
    std::vector<const OptionSpec*> all;
    for (const OptionSpec& o : commonOptions())
        all.push_back(&o);
    if (!spec) return all;
    for (const OptionSpec& o : spec->options)
        all.push_back(&o);
    for (const char* name : spec->instrument)
        all.push_back(findOption(instrumentOptions(), QLatin1String(name)));
    return all;
}

bool isShared(const OptionSpec* o)
{
    const QLatin1String name(o->name);
    return findOption(commonOptions(), name) == o || findOption(instrumentOptions(), name) == o;
}

QString usageLine(const CommandSpec& s)
{
    QString line = QStringLiteral("lumo-cli [COMMON OPTIONS] ") + s.title();
    if (*s.synopsis) line += QLatin1Char(' ') + text(s.synopsis);
    return line;
}

// The command's entries: the one of its name, or those of its sub-commands
// (the one the line names, when it names one).
QString findCommand(CommandLine& r, const QStringList& args, int at)
{
    const QString name = args.at(at);
    const QString word = args.value(at + 1);
    std::vector<const CommandSpec*> all;
    for (const CommandSpec& s : cliCommands())
        if (name == QLatin1String(s.name)) all.push_back(&s);
    if (all.empty()) return QStringLiteral("lumo-cli: unknown command %1").arg(name);
    r.command = name;
    r.specs = all;
    if (!*all.front()->word) return {};
    for (const CommandSpec* s : all)
        if (word == QLatin1String(s->word)) {
            r.specs = {s};
            return {};
        }
    QStringList words;
    for (const CommandSpec* s : all)
        words << QLatin1String(s->word);
    return QStringLiteral("lumo-cli %1: %2 (%3)")
        .arg(name,
             word.isEmpty() || isOption(word) ? QStringLiteral("needs a sub-command")
                                              : QStringLiteral("unknown sub-command %1").arg(word),
             words.join(QStringLiteral(", ")));
}

// The first refusal of the command's options, or an empty text.
QString checkOptions(CommandLine& r, const QStringList& args, int commandAt)
{
    const CommandSpec* spec = r.specs.size() == 1 ? r.specs.front() : nullptr;
    const std::vector<const OptionSpec*> known = optionsOf(spec);
    const QString who =
        QStringLiteral("lumo-cli%1").arg(r.command.isEmpty() ? QString() : QLatin1Char(' ') + r.command);
    QStringList seen;
    const int wordAt = spec && *spec->word ? commandAt + 1 : -1;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (!isOption(a)) {
            if (i != commandAt && i != wordAt) r.args << a;
            continue;
        }
        if (a == QLatin1String("--help")) continue;
        const auto it = std::find_if(known.begin(), known.end(),
                                     [&](const OptionSpec* o) { return a == QLatin1String(o->name); });
        if (it == known.end()) {
            const QString guess = nearest(a, known);
            return QStringLiteral("%1: unknown option %2%3")
                .arg(who, a, guess.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(guess));
        }
        const OptionSpec* o = *it;
        if (seen.contains(a) && !o->repeatable) return QStringLiteral("%1: %2 is given twice").arg(who, a);
        seen << a;
        QString value;
        if (*o->value) {
            // A value that looks like an option is one forgotten: `--to --anonymous` must not
            // export into a folder named --anonymous, without the anonymity asked for.
            if (i + 1 >= args.size() || isOption(args.at(i + 1)))
                return QStringLiteral("%1: %2 needs a value (%3)").arg(who, a, QLatin1String(o->value));
            value = args.at(++i);
        }
        if (isShared(o))
            r.shared.emplace_back(a, value);
        else
            r.args << a << (*o->value ? QStringList{value} : QStringList{});
    }
    return {};
}

QString wrapped(const QString& words, int indent, int width)
{
    QString out, line;
    const QString pad(indent, QLatin1Char(' '));
    for (const QString& w : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + w.size() > width) {
            out += pad + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + w;
    }
    if (!line.isEmpty()) out += pad + line + QLatin1Char('\n');
    return out;
}

// "  --to DEST      the folder ..." with the text wrapped beside the name.
QString optionLines(const std::vector<const OptionSpec*>& options)
{
    QString out;
    for (const OptionSpec* o : options) {
        QString head = QStringLiteral("  %1").arg(QLatin1String(o->name));
        if (*o->value) head += QLatin1Char(' ') + QLatin1String(o->value);
        if (o->repeatable) head += QStringLiteral(" ...");
        out += head + QLatin1Char('\n') + plainText(o->text, 8);
    }
    return out;
}

} // namespace

QString CommandSpec::title() const
{
    return *word ? QStringLiteral("%1 %2").arg(QLatin1String(name), QLatin1String(word))
                 : QLatin1String(name);
}

CommandLine parseCliLine(const QStringList& arguments)
{
    CommandLine r;
    r.help = arguments.contains(QStringLiteral("--help"));
    // The command is the first argument that is neither an option nor a shared option's value.
    int commandAt = -1;
    for (int i = 0; i < arguments.size() && commandAt < 0; ++i) {
        const QString& a = arguments.at(i);
        if (!isOption(a)) {
            commandAt = i;
            break;
        }
        const OptionSpec* o = findOption(commonOptions(), a);
        if (!o) o = findOption(instrumentOptions(), a);
        if (o && *o->value && i + 1 < arguments.size() && !isOption(arguments.at(i + 1))) ++i;
    }
    if (commandAt >= 0) {
        // `operator --help` describes every sub-command; without --help one must be named.
        const QString missing = findCommand(r, arguments, commandAt);
        if (!missing.isEmpty() && !(r.help && !r.command.isEmpty())) {
            r.error = missing;
            return r;
        }
    }
    const QString refused = checkOptions(r, arguments, commandAt);
    if (!r.help && !refused.isEmpty()) {
        r.error = refused;
        if (r.specs.size() == 1)
            r.error += QStringLiteral("\nusage: %1\n(lumo-cli %2 --help says more)")
                           .arg(usageLine(*r.specs.front()), r.command);
    }
    if (!r.help && r.error.isEmpty() && r.command.isEmpty())
        r.error = QStringLiteral("lumo-cli: no command given");
    // The command and its sub-command first, where the commands' own parsing looks for them.
    if (!r.command.isEmpty()) {
        QStringList head{r.command};
        if (r.specs.size() == 1 && *r.specs.front()->word) head << QLatin1String(r.specs.front()->word);
        r.args = head + r.args;
    }
    return r;
}

QString plainText(const char* source, int indent, int width)
{
    QString out;
    const QString pad(indent, QLatin1Char(' '));
    for (const QString& paragraph : text(source).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        if (!out.isEmpty()) out += QLatin1Char('\n');
        QString p = paragraph;
        p.remove(QLatin1Char('`'));
        if (p.startsWith(QLatin1String("    "))) {
            for (const QString& line : p.split(QLatin1Char('\n')))
                out += pad + line + QLatin1Char('\n');
        } else if (p.startsWith(QLatin1Char('@'))) {
            const int end = int(p.indexOf(QLatin1Char('\n')));
            out += pad + p.mid(1, end - 1) + QLatin1Char('\n');
            out += wrapped(p.mid(end + 1).simplified(), indent + 4, width);
        } else {
            out += wrapped(p.simplified(), indent, width);
        }
    }
    return out;
}

QString cliOverview()
{
    QString out = QStringLiteral("usage: lumo-cli [COMMON OPTIONS] COMMAND [OPTIONS] [ARGUMENTS]\n"
                                 "       lumo-cli COMMAND --help\n\n");
    out += plainText(manualDescription(ManualPage::LumoCli)) + QStringLiteral("\nCommon options:\n");
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& o : commonOptions())
        options.push_back(&o);
    out += optionLines(options) + QStringLiteral("\nInstrument options (for the commands that name them):\n");
    options.clear();
    for (const OptionSpec& o : instrumentOptions())
        options.push_back(&o);
    out += optionLines(options) + QStringLiteral("\nCommands:\n");
    qsizetype column = 0;
    for (const CommandSpec& s : cliCommands())
        column = std::max(column, s.title().size() + 2);
    for (const CommandSpec& s : cliCommands())
        out += QStringLiteral("  %1%2\n").arg(s.title().leftJustified(column), QLatin1String(s.summary));
    out += QStringLiteral("\n`man lumo-cli` describes every command, practice mode, the server, the "
                          "environment, the files and examples.\n");
    out.remove(QLatin1Char('`'));
    return out;
}

QString commandHelp(const std::vector<const CommandSpec*>& specs)
{
    QString out;
    for (const CommandSpec* s : specs) {
        if (!out.isEmpty()) out += QLatin1Char('\n');
        out += QStringLiteral("usage: %1\n\n").arg(usageLine(*s));
        out += plainText(s->description);
        std::vector<const OptionSpec*> options;
        for (const OptionSpec& o : s->options)
            options.push_back(&o);
        for (const char* name : s->instrument)
            options.push_back(findOption(instrumentOptions(), QLatin1String(name)));
        if (!options.empty()) out += QStringLiteral("\nOptions:\n") + optionLines(options);
    }
    out += QStringLiteral("\nCommon options (every command): --data-dir DIR, --database CONNINFO, "
                          "--operator NAME; lumo-cli --help says more.\n");
    return out;
}

} // namespace lumo
