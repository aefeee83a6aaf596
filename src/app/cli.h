#pragma once
// lumo-cli: headless commands over the program's libraries.

#include <QStringList>
#include <QTextStream>

namespace lumo {

struct CliContext
{
    QString dataDirectory;    // --data-dir, or the default
    bool dataDirectorySet = false;
    QString deliveredDir;
    QStringList args;         // the command and its arguments
    bool simulate = false;    // --simulate
    QString tracePath;        // --trace-instrument
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
};

int cmdAnalyse(CliContext& c);
int cmdChart(CliContext& c);
int cmdMatch(CliContext& c);
int cmdDecipher(CliContext& c);
int cmdEncipher(CliContext& c);
int cmdReport(CliContext& c);
int cmdDemo(CliContext& c);
int cmdCompare(CliContext& c); // cli_compare.cpp
int cmdTrend(CliContext& c);

// Exit codes: 0 success, 2 a failure with its message on stderr, 1 usage.
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace lumo
