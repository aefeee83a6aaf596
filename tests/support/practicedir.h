#pragma once
// What the tests of screens and rules start from: a temporary data directory,
// the shared state pointing at it and scripted answers to its questions; and
// the same prepared as the program prepares it at start-up.

#include "base/messages.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QTemporaryDir>

namespace lumo::test {

struct PracticeDir
{
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;

    // The data directory is the temporary folder itself, or `folder` inside it.
    explicit PracticeDir(const QString& folder = {})
    {
        state.DataDirectory = (folder.isEmpty() ? dir.path() : dir.filePath(folder)) + QLatin1Char('/');
        state.messages = &messages;
    }
    // The start-up's file steps, from this build's delivered files, as the
    // program takes them: the files copied in, the databases opened.
    StartupOutcome start() { return runStartupFileSteps(state, deliveredDirectory()); }
    Database& db() { return *state.MainDatabase; }
};

struct StartedPractice : PracticeDir
{
    explicit StartedPractice(const QString& folder = {}) : PracticeDir(folder) { start(); }
};

} // namespace lumo::test
