#include "datadir.h"
#include "dialogmessages.h"
#include "fonts.h"
#include "modules.h"
#include "sharedstate.h"
#include "tzuform.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenta"));
    QApplication::setApplicationName(QStringLiteral("lumo"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("L.U.M.O. 經絡能量分析系統"));
    lumo::applyChineseFont(app);

    QCommandLineParser parser;
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data directory."),
                               QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.addHelpOption();
    parser.process(app);

    lumo::SharedState state;
    state.DataDirectory = parser.isSet(dataDir) ? parser.value(dataDir) : lumo::defaultDataDirectory();
    if (!state.DataDirectory.endsWith(QLatin1Char('/'))) state.DataDirectory += QLatin1Char('/');
    lumo::DialogMessages messages;
    state.messages = &messages;

    lumo::TZuForm window(state, lumo::standardModules(), {}, lumo::deliveredDirectory());
    window.showMaximized();
    return app.exec();
}
