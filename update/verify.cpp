#include "verify.h"

#include <vector>

#include "signature_set.h"
#include "update_key.h"

namespace {

// The set's files, opened shared for reading only and never closed: the
// updater is done with them only when it ends.
class HeldFiles : public cabsig::SetFiles {
public:
    bool open(const std::string &path) override
    {
        current_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        return current_ != INVALID_HANDLE_VALUE;
    }
    bool read(void *buffer, std::size_t size, std::size_t &got) override
    {
        DWORD done = 0;
        const BOOL ok = ReadFile(current_, buffer, static_cast<DWORD>(size), &done, nullptr);
        got = done;
        return ok != FALSE;
    }
    void close() override {}

private:
    HANDLE current_ = INVALID_HANDLE_VALUE;
};

} // namespace

BOOL VerifyUpdateSignature(const char *path)
{
    if (sizeof kUpdatePublicKey <= 1)
        return TRUE;
    std::vector<std::uint8_t> spki;
    if (!cabsig::publicKeyFromPem(kUpdatePublicKey, spki))
        return FALSE;
    static HeldFiles files;
    std::string later;
    return cabsig::verifySet(path, spki, files, later) == cabsig::Verdict::Good;
}
