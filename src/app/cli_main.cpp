#include "app/cli.h"

#include "base/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One folder per user, kept between runs: a folder made for each run stayed
// behind whenever a run was killed (hundreds of them in /tmp). Empty when
// the name is taken by something that is not the user's private folder.
QString userRuntimeFolder()
{
    const QString path = QDir::tempPath() + QStringLiteral("/lumo-cli-runtime-%1").arg(::getuid());
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat st
    {
    };
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any file is created: the data directory holds health records.
    lumo::usePrivateFileModes();
    // The command line draws charts and reports without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform wants a private runtime folder of its own.
    std::unique_ptr<QTemporaryDir> fallback;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QString runtime = userRuntimeFolder();
        if (runtime.isEmpty()) {
            fallback = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lumo-cli-XXXXXX"));
            if (fallback->isValid()) runtime = fallback->path();
        }
        if (!runtime.isEmpty()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
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
