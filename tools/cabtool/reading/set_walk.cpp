#include "reading/set_walk.h"

#include "commands/cabtool.h"
#include "reading/decode_stats.h"
#include "reading/engine_io.h"
#include "reading/list_order.h"
#include "names/names.h"

#include <cstring>
#include <set>
#include <vector>

namespace cabtool {

namespace {

// Per extract call, reachable from the notification callback through `user`.
struct CallState {
    WalkHandler *handler = nullptr;
    WalkOutcome *outcome = nullptr;
    std::set<std::string> *handled = nullptr;
    int startsToSkip = 0;
    int startsSeen = 0;
    std::string inProgress;   // name of the file being written
    std::string inProgressShown;
    std::string opened;       // cabinet whose file list is being read
    std::string nextOfOpened;
    std::string switchingTo;  // named by the last NeedCabinet
    std::string folder;
    bool switched = false;     // the engine reads a later cabinet's list now
    bool passingOver = false;  // the file in progress is decoded for the folder's sake only
    bool followSet = false;
    // The file list as the engine is steered through it, one entry at a time
    // (empty when it reads the list as it stands).
    bool listPlanned = false;
    std::vector<ListEntry> entries;
    std::vector<std::uint16_t> order;
    std::size_t nextInOrder = 0;
};

// At the first boundary, plans the order in which files are to be produced;
// at each boundary, hands the engine the next entry of that order.
void steerFileList(CallState &state, CabNotifyRecord &record)
{
    if (!state.listPlanned) {
        state.listPlanned = true;
        if (state.handler->producesData() &&
            readFileList(state.folder + state.opened, record.value, record.folderIndex, state.entries,
                         cabinetWindowOffset(state.folder + state.opened))) {
            state.order = folderOrder(state.entries);
        }
        if (!state.order.empty()) {
            holdOutput(true);
        }
    }
    // After a switch the engine reads the next cabinet's list, which this
    // order does not cover; the files that go on into it come last in the order,
    // so nothing of this cabinet is left.
    if (state.order.empty() || state.switched) {
        return;
    }
    if (state.nextInOrder == state.order.size()) {
        record.folderIndex = 0;
        return;
    }
    const std::uint16_t entry = state.order[state.nextInOrder++];
    record.value = state.entries[entry].position;
    record.folderIndex = 1;
    setHeldEntry(entry);
}

std::int32_t onNotify(CabNotifyKind kind, CabNotifyRecord *record)
{
    auto &state = *static_cast<CallState *>(record->user);
    switch (kind) {
    case CabNotifyKind::CabinetOpened:
        if (!state.switchingTo.empty()) {
            state.opened = state.switchingTo;
            state.switchingTo.clear();
            state.switched = true;
        }
        state.nextOfOpened = record->text1;
        return 0;
    case CabNotifyKind::NeedCabinet: {
        // A header names a cabinet, not a path: only its last part is looked
        // for, beside the first cabinet. The engine opens what text1 holds, so
        // the name is replaced in place.
        std::string why;
        const std::string name = cabinetFileName(record->text1, why);
        if (name.empty()) {
            report(shownName(record->text1) + ": refused as the next cabinet's name, " + why);
            return -1;
        }
        if (record->error != CabErrorCode::None) {
            report(state.folder + escapeControls(name) + ": cannot continue into this cabinet: " +
                   describeError(record->error));
            return -1;
        }
        std::memmove(record->text1, name.c_str(), name.size() + 1);
        state.switchingTo = name;
        return 0;
    }
    case CabNotifyKind::ContinuedFile:
        state.handler->continuedFile(*record, state.handled->count(record->text1) != 0);
        state.handled->insert(record->text1);
        return 0;
    case CabNotifyKind::FileStart: {
        ++state.startsSeen;
        if (state.startsSeen <= state.startsToSkip) {
            return 0;
        }
        const std::int32_t handle = state.handler->fileStart(*record);
        if (handle > 0) {
            state.inProgress = record->text1;
            state.inProgressShown = shownName(record->text1, record->attributes);
            return handle;
        }
        state.handled->insert(record->text1);
        // Files may begin inside this folder in the next cabinet, their data
        // following on from this one's: decode it there, to nowhere.
        const bool goesOn = record->folderIndex == 0xFFFE || record->folderIndex == 0xFFFF;
        if (goesOn && state.followSet && state.handler->producesData()) {
            state.passingOver = true;
            return kPassOverHandle;
        }
        return 0;
    }
    case CabNotifyKind::FileDone:
        if (state.passingOver) {
            state.passingOver = false;
            return 1;
        }
        if (state.handler->fileDone(*record)) {
            ++state.outcome->files;
        } else {
            ++state.outcome->failures;
        }
        state.handled->insert(state.inProgress);
        state.inProgress.clear();
        return 1;
    case CabNotifyKind::FileListBoundary:
        steerFileList(state, *record);
        return 0;
    }
    return 0;
}

}  // namespace

void WalkHandler::continuedFile(const CabNotifyRecord &record, bool handled)
{
    if (!handled) {
        report(shownName(record.text1, record.attributes) + ": skipped, it begins in an earlier cabinet");
    }
}

WalkOutcome walkCabinets(const std::string &path, WalkHandler &handler, bool followSet)
{
    WalkOutcome outcome;
    std::string folder;
    std::string name;
    splitCabinetPath(path, folder, name);
    CabError error{CabErrorCode::None, 0, 0};
    CabinetEngine *engine = createEngine(&error);
    if (engine == nullptr) {
        report(path + ": " + describeError(error.code));
        ++outcome.failures;
        return outcome;
    }
    std::set<std::string> handled;
    std::set<std::string> started;
    while (!name.empty()) {
        if (!started.insert(name).second) {
            report(folder + escapeControls(name) + ": the set names this cabinet twice; stopping");
            ++outcome.failures;
            break;
        }
        CallState state;
        int startsToSkip = 0;
        bool ok = false;
        while (true) {
            state = CallState{};
            state.handler = &handler;
            state.outcome = &outcome;
            state.handled = &handled;
            state.startsToSkip = startsToSkip;
            state.opened = name;
            state.folder = folder;
            state.followSet = followSet;
            if (CabinetEngine::extract(engine, name.c_str(), folder.c_str(), 0, onNotify, countDecoding, &state) == 1) {
                ok = true;
                break;
            }
            ++outcome.failures;
            if (state.inProgress.empty()) {
                report(folder + escapeControls(state.opened) + ": " + describeError(error.code));
                break;
            }
            report(state.inProgressShown + ": " + describeError(error.code) + " (in " + folder +
                   escapeControls(state.opened) + ")");
            handler.fileFailed(state.inProgress);
            handled.insert(state.inProgress);
            startsToSkip = state.startsSeen;
        }
        holdOutput(false);
        if (!ok || !followSet) {
            break;
        }
        if (state.opened != name) {
            name = state.opened;
        } else {
            std::string why;
            name = cabinetFileName(state.nextOfOpened, why);
            if (name.empty() && !state.nextOfOpened.empty()) {
                report(shownName(state.nextOfOpened) + ": refused as the next cabinet's name, " + why);
                ++outcome.failures;
                break;
            }
        }
    }
    CabinetEngine::destroy(engine);
    return outcome;
}

}  // namespace cabtool
