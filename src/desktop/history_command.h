#pragma once

#include <QByteArrayList>
#include <QString>
#include <cstdio>
#include <optional>

// The history from the command line, before any window:
//   thrennic --history                 the decisions, newest first, one a line:
//                                      time (ISO 8601), action, from, to, tab-separated
//   thrennic --forget-history [--yes]  removes the history, after asking (not with --yes)
// Gives the exit status when the arguments are one of these, nothing otherwise.
std::optional<int> runHistoryCommand(const QByteArrayList& arguments, const QString& historyFile,
                                     std::FILE* in = stdin, std::FILE* out = stdout,
                                     std::FILE* err = stderr);
