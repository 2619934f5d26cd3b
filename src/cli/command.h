#pragma once

#include "targets.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

enum ExitCode
{
    Success = 0,
    PrinterFailed = 1, // not reachable, or a read or write failed
    BadUsage = 2,      // bad arguments or an invalid value: nothing was sent
    NoPrinter = 3,
};

// What a command is given when it runs: its own options and arguments, and the printers the
// global options chose.
struct Invocation
{
    const QCommandLineParser& parser;
    QStringList args; // the positional arguments after the command's name
    Targets& targets;
};

// One command of rpsetup. The usage, `COMMAND --help` and the dispatch are all made from these,
// so a command is added by giving one more of them (see commands()).
struct Command
{
    QString name;     // one or two words: "show", "logo download"
    QString synopsis; // what follows the name in the usage: "[--json]"
    // Texts in the "rpsetup" context, marked with QT_TRANSLATE_NOOP: one line for the usage and
    // the details for `COMMAND --help`.
    const char* summary;
    const char* details;
    QList<QCommandLineOption> options;
    Targets::Use targets;
    std::function<int(Invocation&)> run;
};

// The command groups, one unit each.
QList<Command> listCommands();
QList<Command> settingsCommands();
QList<Command> logoCommands();
QList<Command> backupCommands();
QList<Command> applyCommands();
QList<Command> statusCommands();

// Every command in usage order.
QList<Command> commands();

// Parses the arguments (without the program name), runs the command and gives its exit status.
int runCli(const QStringList& args);
