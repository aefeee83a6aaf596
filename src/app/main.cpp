#include "app/dialogmessages.h"
#include "app/fonts.h"
#include "app/modules.h"
#include "app/passworddialog.h"
#include "app/shellhooks.h"
#include "app/translations.h"
#include "app/tzuform.h"
#include "instrument/handscript.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "instrument/ui/probepanel.h"
#include "shell/commandline.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include "base/privatefiles.h"
#include "widgets/focusframe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <cstdio>

namespace {

// Where the data directory and the main database are (--data-dir, --database);
// false after telling what was wrong.
bool takeLocations(const QCommandLineParser& parser, const QCommandLineOption& dataDir,
                   const QCommandLineOption& database, lumo::SharedState& state,
                   lumo::DialogMessages& messages)
{
    state.DataDirectory = lumo::defaultDataDirectory();
    // Taken as the command line takes it: relative to the current directory, never empty, never the root.
    if (parser.isSet(dataDir)) {
        const lumo::Status given = lumo::resolveDataDirectory(parser.value(dataDir), &state.DataDirectory);
        if (!given) {
            messages.show(lumo::NoteImportant, given.error);
            return false;
        }
    }
    if (parser.isSet(database)) {
        state.databaseOption = parser.value(database);
        if (state.databaseOption.trimmed().isEmpty()) {
            messages.show(lumo::NoteImportant, lumo::databaseStartupMessage(QStringLiteral("--database")));
            return false;
        }
    }
    // The server's password, when libpq has none for it, is asked for once and kept in memory only.
    state.askPassword = [](const QString& server, bool again) {
        return lumo::askServerPassword(server, again);
    };
    return true;
}

// The virtual probe panel of the simulated instrument, with the hand script
// when one is given; null after telling why the script could not be read.
std::unique_ptr<lumo::ProbePanel> makeProbePanel(lumo::InstrumentStack& stack, const QString& script,
                                                 lumo::DialogMessages& messages)
{
    auto panel = std::make_unique<lumo::ProbePanel>(*stack.simulator(), stack.clock());
    if (!script.isEmpty()) {
        lumo::HandScript hands;
        const lumo::Status read = lumo::readHandScript(script, hands);
        if (!read) {
            messages.show(lumo::NoteImportant, read.error);
            return nullptr;
        }
        panel->setHandScript(hands);
    }
    // At the left edge, beside the screens, which open centred on the main window.
    panel->adjustSize();
    const QRect area = QGuiApplication::primaryScreen()
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, 1366, 768);
    panel->move(area.left(), area.top() + (area.height() - panel->height()) / 2);
    panel->show();
    return panel;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any file is created: the data directory holds health records.
    lumo::usePrivateFileModes();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenta"));
    QApplication::setApplicationName(QStringLiteral("lumo"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("L.U.M.O. 經絡能量分析系統"));
    lumo::applyChineseFont(app);
    QApplication::setStyle(new lumo::FocusFrameStyle);
    lumo::installQtTranslations(app);

    // The options as lumo(1) describes them: both come from the one table.
    QCommandLineParser parser;
    const auto option = [](const char* name) {
        for (const lumo::OptionSpec& o : lumo::windowOptions())
            if (qstrcmp(o.name, name) == 0)
                return QCommandLineOption(QLatin1String(o.name + 2),
                                          QString::fromUtf8(o.text).remove(QLatin1Char('`')),
                                          QLatin1String(o.value));
        qFatal("lumo: the option %s is not described", name);
    };
    const QCommandLineOption dataDir = option("--data-dir"), database = option("--database"),
                             simulate = option("--simulate"), trace = option("--trace-instrument"),
                             replay = option("--replay-instrument"), probeScript = option("--probe-script");
    parser.addOptions({dataDir, database, simulate, trace, replay, probeScript});
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "lumo: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) parser.showHelp(0);

    lumo::SharedState state;
    lumo::DialogMessages messages;
    state.messages = &messages;
    if (!takeLocations(parser, dataDir, database, state, messages)) return 2;

    using Kind = lumo::InstrumentStack::Kind;
    const Kind kind = parser.isSet(replay)     ? Kind::Replay
                      : parser.isSet(simulate) ? Kind::Simulated
                                               : Kind::Real;
    lumo::InstrumentStack stack(kind, nullptr, parser.value(trace), parser.value(replay));
    if (!stack.replayError().isEmpty()) {
        messages.reportError(stack.replayError());
        return 2;
    }
    if (parser.isSet(trace) && !stack.traceOpen()) {
        messages.reportError(parser.value(trace) + QStringLiteral(": cannot be written"));
        return 2;
    }
    if (lumo::ReplayBackend* r = stack.replay())
        r->setOnMismatch([path = parser.value(replay)](const QString& m) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(m));
        });
    state.instrument = &stack.instrument();

    std::unique_ptr<lumo::ProbePanel> panel;
    if (stack.simulator()) {
        panel = makeProbePanel(stack, parser.value(probeScript), messages);
        if (!panel) return 2;
    }

    lumo::TZuForm window(state, lumo::standardModules(), lumo::instrumentHooks(stack, state),
                         lumo::deliveredDirectory());
    // Maximised; without a window manager the geometry has to say it too.
    if (QScreen* screen = QGuiApplication::primaryScreen()) window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    const int rc = app.exec();
    panel.reset();
    return rc;
}
