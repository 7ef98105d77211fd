// The viewer's commands that run without a window: export, count and sum up
// the results of a filter on a log, for pipes, scripts and cron. They make a
// QCoreApplication, never a QApplication, so no display is needed.
#ifndef COMMANDLINE_H
#define COMMANDLINE_H

namespace CommandLine {

// True when the arguments ask for a command that runs without a window
// (or for help or the version, which need none either); decided before any
// application object exists.
bool wanted(int argc, char **argv);

// Runs that command and returns the exit status: 0 done, 1 failed (with
// one line on standard error), 2 bad arguments, 130 interrupted.
int run(int argc, char **argv);

} // namespace CommandLine

#endif
