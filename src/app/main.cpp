#include "app/dialogmessages.h"
#include "app/fonts.h"
#include "app/modules.h"
#include "app/shellhooks.h"
#include "app/translations.h"
#include "app/tzuform.h"
#include "instrument/handscript.h"
#include "instrument/replay.h"
#include "instrument/stack.h"
#include "instrument/ui/probepanel.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include "base/privatefiles.h"
#include "widgets/focusframe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <cstdio>

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

    QCommandLineParser parser;
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data directory."),
                               QStringLiteral("DIR"));
    QCommandLineOption simulate(QStringLiteral("simulate"), QStringLiteral("Run against the simulated instrument."));
    QCommandLineOption trace(QStringLiteral("trace-instrument"), QStringLiteral("Write every exchange to FILE."),
                             QStringLiteral("FILE"));
    QCommandLineOption replay(QStringLiteral("replay-instrument"),
                              QStringLiteral("Run against the instrument recorded in trace FILE."),
                              QStringLiteral("FILE"));
    QCommandLineOption probeScript(
        QStringLiteral("probe-script"),
        QStringLiteral("With --simulate: the hand of the probe panel's automatic mode, "
                       "point by point, from the JSON script FILE."),
        QStringLiteral("FILE"));
    parser.addOptions({dataDir, simulate, trace, replay, probeScript});
    parser.addHelpOption();
    parser.process(app);

    lumo::SharedState state;
    lumo::DialogMessages messages;
    state.messages = &messages;
    state.DataDirectory = lumo::defaultDataDirectory();
    // Taken as the command line takes it: relative to the current directory, never empty, never the root.
    if (parser.isSet(dataDir)) {
        const lumo::Status given = lumo::resolveDataDirectory(parser.value(dataDir), &state.DataDirectory);
        if (!given) {
            messages.show(lumo::NoteImportant, given.error);
            return 2;
        }
    }

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
        panel = std::make_unique<lumo::ProbePanel>(*stack.simulator(), stack.clock());
        if (parser.isSet(probeScript)) {
            lumo::HandScript hands;
            const lumo::Status read = lumo::readHandScript(parser.value(probeScript), hands);
            if (!read) {
                messages.show(lumo::NoteImportant, read.error);
                return 2;
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
