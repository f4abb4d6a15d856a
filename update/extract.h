// The updater's side of the cabinet engine: the seven input and output
// callbacks, the notification handler that writes each file into the
// destination folder with its stored date, time and attributes and drives
// the progress dialog, and one extraction run.
#pragma once

#include <windows.h>

#include <cabinet/engine.h>

class ProgressDialog;

// The engine's callbacks carry no context, so the run's state is process-wide.
extern char g_szDestFolder[MAX_PATH];    // ends with a backslash
extern ProgressDialog* g_pProgressDlg;  // null: extract without showing progress

// Extracts every file that begins in cabinetFile into destinationFolder, all
// or nothing: TRUE only when the engine was made, the cabinet opened and
// recognised, every file written and all of them put in place. On FALSE the
// folder holds the files it held before.
BOOL ExtractCabinet(const char* cabinetFile, const char* destinationFolder);

// Finishes or undoes an update of folder that was interrupted (install.h) and
// removes the temporary files an earlier run left. TRUE when the folder
// holds one release whole.
BOOL RecoverEarlierUpdate(const char* folder);

std::int32_t OnExtractNotify(CabNotifyKind kind, CabNotifyRecord* record);

// Each hands its arguments to the runtime's function of the same job. CabClose
// also removes the file being written when the engine gives it up.
void* CabAlloc(std::uint32_t size);
void CabFree(void* block);
std::int32_t CabOpen(const char* path, std::int32_t flags, std::int32_t permission);
std::int32_t CabRead(std::int32_t handle, void* buffer, std::uint32_t count);
std::int32_t CabWrite(std::int32_t handle, const void* buffer, std::uint32_t count);
std::int32_t CabClose(std::int32_t handle);
std::int32_t CabSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin);
