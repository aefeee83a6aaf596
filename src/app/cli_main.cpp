#include "app/cli.h"

#include "base/privatefiles.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    // Before any file is created: the data directory holds health records.
    lumo::usePrivateFileModes();
    // The command line draws charts and reports without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform wants a private runtime folder of its own.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Quenta"));
    QGuiApplication::setApplicationName(QStringLiteral("lumo"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    const int rc = lumo::runCli(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return rc;
}
