#include "extract.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "install.h"
#include "install_files.h"
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

// Every file of the update is written in full under a temporary name in its
// own folder first (staging); only when the whole cabinet has been read are
// they put in place together (install.h). The engine writes one file at a
// time.
struct PendingOutput {
    std::int32_t handle = -1;
    bool failWrites = false;  // a test's stand-in for a full disk
    install::StoredFile file;
};
PendingOutput g_pending;
std::vector<install::StoredFile> g_staged;
WindowsInstallFiles g_files;

// Test hooks, read from the environment at each run: milliseconds to wait
// after each file written and each file put in place (so that a test can
// interrupt the run at any stage), and a stored name whose writes fail as
// on a full disk. Unset, they change nothing.
DWORD g_stepDelay;
char g_failingName[MAX_PATH];

void ReadTestHooks()
{
    char value[32] = {};
    g_stepDelay = GetEnvironmentVariableA("ORVEL_UPDATE_TEST_STEP_DELAY_MS", value, sizeof value) != 0
                      ? static_cast<DWORD>(std::atol(value))
                      : 0;
    if (GetEnvironmentVariableA("ORVEL_UPDATE_TEST_FAIL_WRITE", g_failingName, sizeof g_failingName) == 0)
        g_failingName[0] = '\0';
    g_files.moveDelay = g_stepDelay;
}

void DropPendingOutput()
{
    if (g_pending.handle == -1)
        return;
    g_pending.handle = -1;
    g_files.remove(g_szDestFolder + g_pending.file.temporary);
}

// The folder part of an output path, its last separator included.
std::string FolderOf(const char* path)
{
    const char* end = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            end = p + 1;
    }
    return std::string(path, static_cast<std::size_t>(end - path));
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
    // The status names the file before anything can refuse it, so that the
    // failure message is shown over the name that caused it.
    ShowCopying(record.text1);
    char path[kOutputPathSize];
    if (JoinOutputPath(path, g_szDestFolder, record.text1) != OutputPathStatus::Ok)
        return -1;
    if (!MayReplace(path))
        return -1;
    const std::string folder = FolderOf(path);
    std::string name;
    if (!g_files.reserveTemporary(folder, name))
        return -1;
    const std::string temporary = folder + name;
    const std::int32_t handle = CabOpen(temporary.c_str(), kOutputFlags, kOutputPermission);
    if (handle == -1) {
        g_files.remove(temporary);
        return -1;
    }
    g_pending.handle = handle;
    g_pending.failWrites = g_failingName[0] != '\0' && lstrcmpiA(g_failingName, record.text1) == 0;
    g_pending.file = install::StoredFile();
    g_pending.file.target = record.text1;
    g_pending.file.temporary = temporary.substr(std::strlen(g_szDestFolder));
    return handle;
}

std::int32_t OnFileDone(const CabNotifyRecord& record)
{
    // The file is ours from here on; closing it must not discard it.
    const bool ours = record.handle == g_pending.handle && g_pending.handle != -1;
    g_pending.handle = -1;
    // On the disk before any installed file is replaced by it.
    const bool flushed = ours && _commit(record.handle) == 0;
    _close(record.handle);
    if (!ours)
        return 0;
    install::StoredFile file = g_pending.file;
    if (!flushed) {
        g_files.remove(g_szDestFolder + file.temporary);
        return 0;
    }
    file.date = record.date;
    file.time = record.time;
    file.attributes = (record.attributes & 0xFF) & kKeptAttributes;
    g_staged.push_back(file);
    if (g_pProgressDlg != nullptr)
        g_pProgressDlg->StepProgress();
    if (g_stepDelay != 0)
        Sleep(g_stepDelay);
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
    if (handle == g_pending.handle && g_pending.failWrites)
        return -1;
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

BOOL RecoverEarlierUpdate(const char* folder)
{
    return install::RecoverEarlierRun(g_files, folder) ? TRUE : FALSE;
}

BOOL ExtractCabinet(const char* cabinetFile, const char* destinationFolder)
{
    lstrcpynA(g_szDestFolder, destinationFolder, MAX_PATH);
    ReadTestHooks();
    g_staged.clear();
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
    // Nothing installed has changed so far.
    if (extracted != 1 || destroyed != 1) {
        install::Discard(g_files, g_szDestFolder, g_staged);
        g_staged.clear();
        return FALSE;
    }
    const install::Outcome outcome = install::Install(g_files, g_szDestFolder, g_staged);
    g_staged.clear();
    return outcome == install::Outcome::Installed ? TRUE : FALSE;
}
