#include "app/dialogmessages.h"
#include "app/fonts.h"
#include "app/modules.h"
#include "app/shellhooks.h"
#include "app/translations.h"
#include "app/tzuform.h"
#include "instrument/stack.h"
#include "instrument/ui/probepanel.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenta"));
    QApplication::setApplicationName(QStringLiteral("lumo"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("L.U.M.O. 經絡能量分析系統"));
    lumo::applyChineseFont(app);
    lumo::installQtTranslations(app);

    QCommandLineParser parser;
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data directory."),
                               QStringLiteral("DIR"));
    QCommandLineOption simulate(QStringLiteral("simulate"), QStringLiteral("Run against the simulated instrument."));
    QCommandLineOption trace(QStringLiteral("trace-instrument"), QStringLiteral("Write every exchange to FILE."),
                             QStringLiteral("FILE"));
    parser.addOptions({dataDir, simulate, trace});
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

    lumo::InstrumentStack stack(parser.isSet(simulate) ? lumo::InstrumentStack::Kind::Simulated
                                                       : lumo::InstrumentStack::Kind::Real,
                                nullptr, parser.value(trace));
    state.instrument = &stack.instrument();

    std::unique_ptr<lumo::ProbePanel> panel;
    if (stack.simulator()) {
        panel = std::make_unique<lumo::ProbePanel>(*stack.simulator(), stack.clock());
        panel->show();
        panel->move(20, 600);
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
