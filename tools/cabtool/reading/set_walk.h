// Walking a cabinet, or a whole set from its first cabinet, through the engine.
//
// One extract call writes the files that begin in its cabinet and follows
// every file that goes on into later cabinets; it stops at the first file of
// the last cabinet it opened that begins there. The walk then calls extract
// again on that cabinet, or on the next one named, until the set ends. Later
// cabinets are looked for beside the first.
//
// When a file fails, the walk reports it and runs the same cabinet again,
// skipping the files already dealt with, so that one bad file does not hide
// the others.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>
#include <string>

namespace cabtool {

class WalkHandler {
public:
    virtual ~WalkHandler() = default;
    // Answer for FileStart: an output handle, or 0 to skip the file.
    virtual std::int32_t fileStart(const CabNotifyRecord &record) = 0;
    // The file's last byte has been written; false when finishing it failed
    // (the handler has reported why). The handler owns the handle now.
    virtual bool fileDone(const CabNotifyRecord &record) = 0;
    // The engine gave up on the file in progress and has closed its handle.
    virtual void fileFailed(const std::string &) {}
    // An entry that began in an earlier cabinet; `handled` tells whether this
    // walk has already dealt with it.
    virtual void continuedFile(const CabNotifyRecord &record, bool handled);
    // Whether files are decoded (an open handle from fileStart). A walk that
    // decodes has the engine produce the files of a list out of folder order
    // in folder order, each folder decoded once, and holds its output back so
    // that it still comes in list order.
    virtual bool producesData() const { return true; }
};

struct WalkOutcome {
    int failures = 0;
    int files = 0;  // files finished
};

// Walks the cabinet at path; with followSet, goes on through the set.
WalkOutcome walkCabinets(const std::string &path, WalkHandler &handler, bool followSet);

}  // namespace cabtool
