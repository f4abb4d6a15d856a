// cabtool verify: checks a cabinet's signature, and its set's, against a
// public key.
#include "commands/cabtool.h"

#include "signature_set.h"

namespace cabtool {

int runVerify(const Args &args)
{
    if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-")) {
        return usageError("verify takes a public key file and a cabinet");
    }
    std::string pem;
    if (!readKeyFile(args[0], pem)) {
        return kExitFailed;
    }
    std::vector<std::uint8_t> spki;
    if (!cabsig::publicKeyFromPem(pem, spki)) {
        report(args[0] + ": not a P-256 public key");
        return kExitFailed;
    }
    cabsig::StdioFiles files;
    std::string later;
    const cabsig::Verdict verdict = cabsig::verifySet(args[1], spki, files, later);
    if (verdict != cabsig::Verdict::Good) {
        report(args[1] + ": " + cabsig::describe(verdict, later));
        return kExitFailed;
    }
    std::printf("%s: good signature\n", args[1].c_str());
    return kExitOk;
}

}  // namespace cabtool
