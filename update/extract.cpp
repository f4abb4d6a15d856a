#include "extract.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "output_path.h"
#include "progress_dialog.h"
#include "res/resource.h"

char g_szDestFolder[MAX_PATH];
ProgressDialog* g_pProgressDlg;

namespace {

constexpr int kCabinetProbeFlags = _O_BINARY | _O_SEQUENTIAL | _O_RDONLY;
constexpr int kOutputFlags = _O_BINARY | _O_CREAT | _O_SEQUENTIAL | _O_WRONLY;
constexpr int kOutputPermission = _S_IREAD | _S_IWRITE;
constexpr WORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A file is written under a temporary name in its own folder and moved over
// the old one only after its last byte, so the folder never holds a cut or
// half-written file. The engine writes one file at a time.
struct PendingOutput {
    std::int32_t handle = -1;
    char temporary[MAX_PATH] = {};
};
PendingOutput g_pending;

void DropPendingOutput()
{
    if (g_pending.handle == -1)
        return;
    g_pending.handle = -1;
    DeleteFileA(g_pending.temporary);
}

// The folder part of an output path, its last separator included.
void FolderOf(const char* path, char (&folder)[MAX_PATH])
{
    const char* end = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            end = p + 1;
    }
    const std::size_t length = static_cast<std::size_t>(end - path);
    std::memcpy(folder, path, length);
    folder[length] = '\0';
}

// An existing file must be one this run may replace: not read-only, not a
// folder, and not held open by a program that forbids writing.
bool MayReplace(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void SetStoredTime(const char* path, WORD date, WORD time)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME local;
    FILETIME utc;
    if (DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, &utc, nullptr, &utc);
    CloseHandle(file);
}

void ShowCopying(const char* name)
{
    if (g_pProgressDlg == nullptr)
        return;
    CString format;
    format.LoadString(IDS_COPYING_FILE);
    CString status;
    status.Format(format, name);
    g_pProgressDlg->SetStatusText(status);
}

std::int32_t OnCabinetOpened()
{
    if (g_pProgressDlg != nullptr) {
        g_pProgressDlg->SetProgressRange(0, 100);
        g_pProgressDlg->SetProgressPos(0);
    }
    return 0;
}

std::int32_t OnFileListBoundary(const CabNotifyRecord& record)
{
    const int remaining = record.folderIndex;
    if (remaining != 0 && g_pProgressDlg != nullptr) {
        g_pProgressDlg->SetProgressRange(0, remaining);
        g_pProgressDlg->SetProgressStep(1);
        g_pProgressDlg->SetProgressPos(0);
    }
    return 0;
}

std::int32_t OnFileStart(const CabNotifyRecord& record)
{
    char path[kOutputPathSize];
    if (JoinOutputPath(path, g_szDestFolder, record.text1) != OutputPathStatus::Ok)
        return -1;
    ShowCopying(record.text1);
    if (!MayReplace(path))
        return -1;
    char folder[MAX_PATH];
    FolderOf(path, folder);
    char temporary[MAX_PATH];
    if (GetTempFileNameA(folder, "upd", 0, temporary) == 0)
        return -1;
    const std::int32_t handle = CabOpen(temporary, kOutputFlags, kOutputPermission);
    if (handle == -1) {
        DeleteFileA(temporary);
        return -1;
    }
    g_pending.handle = handle;
    std::memcpy(g_pending.temporary, temporary, sizeof temporary);
    return handle;
}

std::int32_t OnFileDone(const CabNotifyRecord& record)
{
    char path[kOutputPathSize];
    JoinOutputPath(path, g_szDestFolder, record.text1);
    // The file is ours from here on; closing it must not discard it.
    const bool ours = record.handle == g_pending.handle && g_pending.handle != -1;
    g_pending.handle = -1;
    _close(record.handle);
    if (!ours)
        return 0;

    SetStoredTime(g_pending.temporary, record.date, record.time);
    if (!MoveFileExA(g_pending.temporary, path, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(g_pending.temporary);
        return 0;
    }
    SetFileAttributesA(path, (record.attributes & 0xFF) & kKeptAttributes);
    if (g_pProgressDlg != nullptr)
        g_pProgressDlg->StepProgress();
    return 1;
}

} // namespace

void* CabAlloc(std::uint32_t size)
{
    return std::malloc(size);
}

void CabFree(void* block)
{
    std::free(block);
}

std::int32_t CabOpen(const char* path, std::int32_t flags, std::int32_t permission)
{
    return _open(path, flags, permission);
}

std::int32_t CabRead(std::int32_t handle, void* buffer, std::uint32_t count)
{
    return _read(handle, buffer, count);
}

std::int32_t CabWrite(std::int32_t handle, const void* buffer, std::uint32_t count)
{
    return _write(handle, buffer, count);
}

std::int32_t CabClose(std::int32_t handle)
{
    const std::int32_t result = _close(handle);
    if (handle == g_pending.handle)
        DropPendingOutput();
    return result;
}

std::int32_t CabSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    return _lseek(handle, offset, origin);
}

std::int32_t OnExtractNotify(CabNotifyKind kind, CabNotifyRecord* record)
{
    switch (kind) {
    case CabNotifyKind::CabinetOpened:
        return OnCabinetOpened();
    case CabNotifyKind::FileListBoundary:
        return OnFileListBoundary(*record);
    case CabNotifyKind::FileStart:
        return OnFileStart(*record);
    case CabNotifyKind::FileDone:
        return OnFileDone(*record);
    case CabNotifyKind::NeedCabinet:
        // The engine asks again after every failed try: a set whose next
        // cabinet is missing ends here instead of asking for ever.
        return record->error != CabErrorCode::None ? -1 : 0;
    default:
        return 0;
    }
}

BOOL ExtractCabinet(const char* cabinetFile, const char* destinationFolder)
{
    lstrcpynA(g_szDestFolder, destinationFolder, MAX_PATH);
    CabError error = {};
    CabinetEngine* engine =
        CabinetEngine::create(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek, 1, &error);
    if (engine == nullptr)
        return FALSE;
    const std::int32_t cabinet = CabOpen(cabinetFile, kCabinetProbeFlags, 0);
    if (cabinet == -1) {
        CabinetEngine::destroy(engine);
        return FALSE;
    }
    CabinetSummary summary = {};
    const std::int32_t recognised = CabinetEngine::probe(engine, cabinet, &summary);
    _close(cabinet);
    if (recognised == 0) {
        CabinetEngine::destroy(engine);
        return FALSE;
    }

    char drive[_MAX_DRIVE];
    char directory[_MAX_DIR];
    char name[_MAX_FNAME];
    char extension[_MAX_EXT];
    _splitpath(cabinetFile, drive, directory, name, extension);
    char folderPart[_MAX_DRIVE + _MAX_DIR];
    char namePart[_MAX_FNAME + _MAX_EXT];
    lstrcpyA(folderPart, drive);
    lstrcatA(folderPart, directory);
    lstrcpyA(namePart, name);
    lstrcatA(namePart, extension);

    const std::int32_t extracted =
        CabinetEngine::extract(engine, namePart, folderPart, 0, OnExtractNotify, nullptr, nullptr);
    DropPendingOutput();
    const std::int32_t destroyed = CabinetEngine::destroy(engine);
    return extracted == 1 && destroyed == 1;
}
