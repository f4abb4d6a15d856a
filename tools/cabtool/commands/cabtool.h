// cabtool: the subcommands and what they share.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cabtool {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the input or the output failed
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

int runList(const Args &args);
int runTest(const Args &args);
int runExtract(const Args &args);
int runCreate(const Args &args);
int runSign(const Args &args);
int runVerify(const Args &args);

// Reads a key file's PEM text; false after reporting why.
bool readKeyFile(const std::string &path, std::string &pem);
// Signs the first cabinet of a set at path in place, replacing the file
// whole; the status to exit with.
int signFile(const std::string &path, const std::string &privatePem);

// Prints "cabtool: what" on stderr.
void report(const std::string &what);

// Prints one line (without its newline) on stream, or holds it back while the
// walk has files produced out of list order (see holdOutput).
void emitLine(std::FILE *stream, const std::string &text);
// While held, lines are kept under the file-list entry in progress and come
// out in list order when the hold ends, so that the output does not depend on
// the order in which the files were produced.
void holdOutput(bool hold);
void setHeldEntry(int listIndex);
// The file-list entry whose output is being held, or -1 while nothing is held.
int heldEntry();

// Usage errors name the mistake and point at the command's help:
// "cabtool: -d needs a folder (see cabtool extract --help)"; they answer kExitUsage.
int usageError(const std::string &what);
// Takes every `flag` out of args; true when there was one.
bool takeFlag(Args &args, const std::string &flag);
// "unknown option --foo for extract".
int unknownOption(const std::string &option);
// "missing cabinet file".
int missingCabinet();
// For the commands that take one cabinet and no options of their own: kExitOk,
// or the status of the usage error reported.
int checkOneCabinet(const Args &args);
// The command being run, named by usage errors.
void setCommand(const std::string &command);

// With --verbose, reports name the engine's error codes too.
void setVerbose(bool verbose);

// With -q, test, extract and create print no line per file and no progress
// line; reports of failures and test's closing count still come.
void setQuiet(bool quiet);
bool quiet();

// What went wrong, in plain words; an open failure carries the system's reason
// (see lastOpenFailure in engine_io.h).
std::string describeError(CabErrorCode code);

// "cannot open: " and the system's reason for the error number.
std::string cannotOpen(int systemError);

// Splits "dir/x.cab" into "dir/" and "x.cab" (either separator).
void splitCabinetPath(const std::string &path, std::string &folder, std::string &name);

}  // namespace cabtool
