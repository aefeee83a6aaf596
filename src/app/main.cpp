#include "app/dialogmessages.h"
#include "app/fonts.h"
#include "app/modules.h"
#include "app/shellhooks.h"
#include "app/tzuform.h"
#include "instrument/stack.h"
#include "instrument/ui/probepanel.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenta"));
    QApplication::setApplicationName(QStringLiteral("lumo"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("L.U.M.O. 經絡能量分析系統"));
    lumo::applyChineseFont(app);
    // Qt's own dialogs (the open dialogs of the settings and treatment screens)
    // speak the program's language too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);

    QCommandLineParser parser;
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data directory."),
                               QStringLiteral("DIR"));
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Run against the simulated instrument."));
    QCommandLineOption trace(QStringLiteral("trace-instrument"),
                             QStringLiteral("Write every exchange to FILE."), QStringLiteral("FILE"));
    parser.addOptions({dataDir, simulate, trace});
    parser.addHelpOption();
    parser.process(app);

    lumo::SharedState state;
    state.DataDirectory = parser.isSet(dataDir) ? parser.value(dataDir) : lumo::defaultDataDirectory();
    if (!state.DataDirectory.endsWith(QLatin1Char('/'))) state.DataDirectory += QLatin1Char('/');
    lumo::DialogMessages messages;
    state.messages = &messages;

    lumo::InstrumentStack stack(parser.isSet(simulate) ? lumo::InstrumentStack::Kind::Simulated
                                                       : lumo::InstrumentStack::Kind::Real,
                                nullptr, parser.value(trace));
    state.instrument = &stack.instrument();

    std::unique_ptr<lumo::ProbePanel> panel;
    if (stack.simulator()) {
        panel = std::make_unique<lumo::ProbePanel>(*stack.simulator(), stack.clock());
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
