#include "output/safe_output.h"

#include "output/file_meta.h"
#include "names/names.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <mbctype.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cabtool {

namespace {

// Enough of the file's name to tell whose temporary it is, cut at a character.
std::string temporaryStem(const std::string &name)
{
    constexpr std::size_t kKeep = 64;
    if (name.size() <= kKeep) {
        return name;
    }
#ifdef _WIN32
    std::size_t cut = 0;
    while (cut < name.size()) {
        const std::size_t step = _ismbblead(static_cast<unsigned char>(name[cut])) ? 2 : 1;
        if (cut + step > kKeep) {
            break;
        }
        cut += step;
    }
#else
    std::size_t cut = kKeep;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
#endif
    return name.substr(0, cut);
}

#ifndef _WIN32
// The temporary in progress, for the signal handler, which may only look at
// plain memory and make async-signal-safe calls.
char g_guarded[4096];
volatile std::sig_atomic_t g_guarding = 0;

extern "C" void removeGuardedTemporary(int signal)
{
    if (g_guarding != 0) {
        unlink(g_guarded);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installInterruptHandlers()
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous{};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue;  // started to ignore it (nohup, a background job): stay so
        }
        struct sigaction action{};
        action.sa_handler = removeGuardedTemporary;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

mode_t creationMode()
{
    static const mode_t mode = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}
#endif

void guardTemporary(const std::string &path)
{
#ifdef _WIN32
    (void)path;
#else
    installInterruptHandlers();
    g_guarding = 0;
    if (path.size() < sizeof g_guarded) {
        std::memcpy(g_guarded, path.c_str(), path.size() + 1);
        g_guarding = 1;
    }
#endif
}

}  // namespace

bool keepsExisting(const std::string &target, Overwrite policy, std::uint16_t date, std::uint16_t time)
{
    if (policy == Overwrite::Replace) {
        return false;
    }
    struct stat info{};
#ifdef _WIN32
    const int found = stat(target.c_str(), &info);
#else
    const int found = lstat(target.c_str(), &info);  // a link is judged by itself, never followed
#endif
    if (found != 0) {
        return false;
    }
    if (policy == Overwrite::Keep) {
        return true;
    }
    std::time_t stored = 0;
    return stampTime(date, time, stored) && info.st_mtime > stored;
}

std::FILE *createTemporaryFor(const std::string &target, std::string &temporary)
{
    const std::size_t cut = target.find_last_of('/');
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
    const std::string pattern = folder + "." + temporaryStem(name) + ".cabtool-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        return nullptr;
    }
    temporary = path.data();
    guardTemporary(temporary);
#ifndef _WIN32
    fchmod(fd, creationMode());  // mkstemp makes it private to the owner
#endif
    std::FILE *stream = streamOver(fd, "wb");
    if (stream == nullptr) {
        const int saved = errno;
        dropTemporary(temporary);
        temporary.clear();
        errno = saved;
    }
    return stream;
}

bool moveIntoPlace(const std::string &temporary, const std::string &target)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(target.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
                          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (readOnly) {
        SetFileAttributesA(target.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
        return true;
    }
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    if (readOnly) {
        SetFileAttributesA(target.c_str(), attributes);
    }
    return false;
#else
    return std::rename(temporary.c_str(), target.c_str()) == 0;
#endif
}

void dropTemporary(const std::string &temporary)
{
    if (!temporary.empty()) {
        std::remove(temporary.c_str());
    }
    forgetTemporary();
}

void forgetTemporary()
{
#ifndef _WIN32
    g_guarding = 0;
#endif
}

OutputStep planOutput(const std::string &folder, const std::string &stored, std::uint16_t attributes,
                      Overwrite policy, std::uint16_t date, std::uint16_t time, OutputPlan &plan)
{
    plan = OutputPlan{};
    std::string name;
    if (!fileNameOf(stored, attributes, name)) {
        plan.shown = shownName(stored, attributes);
        plan.why = "the name does not convert to a file name (see --encoding)";
        return OutputStep::Refuse;
    }
    plan.shown = escapeControls(name);
    plan.why = unsafeNameReason(name);
#ifdef _WIN32
    if (plan.why.empty()) {
        plan.why = windowsNameReason(ansiToUtf8(name));
    }
#endif
    if (!plan.why.empty()) {
        return OutputStep::Refuse;
    }
    const std::string linked = linkedFolderPart(folder, name);
    if (!linked.empty()) {
        plan.why = escapeControls(linked) + " is a symbolic link";
        return OutputStep::Refuse;
    }
    plan.path = outputPath(folder, name);
    plan.shown = escapeControls(plan.path);
    const std::size_t cut = plan.path.find_last_of('/');
    if (cut != std::string::npos && cut != 0) {
        makeDirectories(plan.path.substr(0, cut));
    }
    if (keepsExisting(plan.path, policy, date, time)) {
        plan.why = policy == Overwrite::Keep ? "it exists" : "the file there is newer";
        return OutputStep::Skip;
    }
    return OutputStep::Write;
}

bool completeOutput(const std::string &temporary, const std::string &path, std::uint16_t date, std::uint16_t time,
                    std::uint16_t attributes, std::string &why)
{
    why.clear();
    // Read-only is bit 0x01 of the stored attributes.
    bool stamped = writeStamp(temporary, date, time);
    if ((attributes & 0x01) != 0) {
        stamped = setReadOnly(temporary, true) && stamped;
    }
    if (!moveIntoPlace(temporary, path)) {
        why = std::string("cannot put it in place: ") + std::strerror(errno);
        dropTemporary(temporary);
        return false;
    }
    forgetTemporary();
    if (!stamped) {
        why = "cannot set its date or attributes";
    }
    return true;
}

}  // namespace cabtool
