// Verifying a signed cabinet and its set, and signing one, over the record
// that cabinet/signature.h describes.
#pragma once

#include <cabinet/signature.h>

namespace cabsig {

// How the files of a set are read. Windows keeps them open, others unable to
// write them, until the update that follows has read them too.
class SetFiles {
public:
    virtual ~SetFiles() = default;
    virtual bool open(const std::string &path) = 0;
    // Bytes read into buffer, 0 at the end; false on a read error.
    virtual bool read(void *buffer, std::size_t size, std::size_t &got) = 0;
    virtual void close() = 0;
};

// SetFiles through the C library.
class StdioFiles : public SetFiles {
public:
    ~StdioFiles() override;
    bool open(const std::string &path) override;
    bool read(void *buffer, std::size_t size, std::size_t &got) override;
    void close() override;

private:
    void *file_ = nullptr;
};

enum class Verdict {
    Good,
    CannotRead,     // the first cabinet cannot be opened or read
    NotCabinet,     // no cabinet header, or not the first cabinet of a set
    Unsigned,
    UnknownRecord,  // a record of another version or algorithm, or cut short
    OtherKey,
    Altered,        // the signature does not match the first cabinet's bytes
    LaterMissing,   // a later cabinet of the set cannot be read
    LaterAltered,   // a later cabinet differs from the one signed
    SetGoesOn,      // the last cabinet signed names a next one
};

// Checks the cabinet at path, and the rest of its set in the same folder,
// against the DER SubjectPublicKeyInfo spki. `later` receives the name of the
// later cabinet a Later* verdict is about.
Verdict verifySet(const std::string &path, const std::vector<std::uint8_t> &spki, SetFiles &files, std::string &later);

// The verdict in plain words ("not signed", "signed by another key", ...).
std::string describe(Verdict verdict, const std::string &later);

// Whether the cabinet at path carries a record, and the record.
RecordState recordOf(const std::string &path, Record &record);

// The folder part of path ("dir/" or empty), either separator.
std::string folderOf(const std::string &path);

#ifndef _WIN32
// The cabinet at path signed with the private key in PEM text, with a reserve
// area made for the record where it had none or too little, and the digest
// of each later cabinet of its set. False with a reason in error.
bool signCabinet(const std::string &path, const std::string &privatePem, std::vector<std::uint8_t> &out,
                 std::string &error);
#endif

}  // namespace cabsig
