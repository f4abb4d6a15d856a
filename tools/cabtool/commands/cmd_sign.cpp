// cabtool sign: puts a signature into the first cabinet of a set.
#include "commands/cabtool.h"

#include <cerrno>
#include <cstring>

#include "output/safe_output.h"
#include "signature_set.h"

namespace cabtool {

bool readKeyFile(const std::string &path, std::string &pem)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        report(path + ": " + cannotOpen(errno));
        return false;
    }
    char buffer[4096];
    std::size_t got = 0;
    pem.clear();
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && pem.size() < (1u << 20)) {
        pem.append(buffer, got);
    }
    std::fclose(file);
    if (pem.find("-----BEGIN ") == std::string::npos) {
        report(path + ": not a PEM key file");
        return false;
    }
    return true;
}

int signFile(const std::string &path, const std::string &privatePem)
{
#ifdef _WIN32
    (void)privatePem;
    report(path + ": signing is done with the Linux cabtool");
    return kExitFailed;
#else
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!cabsig::signCabinet(path, privatePem, bytes, why)) {
        report(path + ": " + why);
        return kExitFailed;
    }
    std::string temporary;
    std::FILE *file = createTemporaryFor(path, temporary);
    if (file == nullptr) {
        report(path + ": cannot write beside it: " + std::strerror(errno));
        return kExitFailed;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !moveIntoPlace(temporary, path)) {
        report(path + ": cannot write the signed cabinet: " + std::strerror(errno));
        dropTemporary(temporary);
        return kExitFailed;
    }
    forgetTemporary();
    return kExitOk;
#endif
}

int runSign(const Args &args)
{
    if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-")) {
        return usageError("sign takes a private key file and a cabinet");
    }
    std::string pem;
    if (!readKeyFile(args[0], pem)) {
        return kExitFailed;
    }
    return signFile(args[1], pem);
}

}  // namespace cabtool
