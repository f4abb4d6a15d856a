#include "commands/help.h"

#ifndef CABTOOL_VERSION
#define CABTOOL_VERSION "unknown"
#endif

namespace cabtool {

namespace {

const char kOverview[] = R"(usage: cabtool COMMAND [OPTION...] FILE...

Lists, tests, extracts and creates cabinet (.cab) files.

Commands:
  list      show a cabinet's folders and files
  test      decode every file of a cabinet and its set, writing nothing
  extract   write the files of a cabinet and its set into a folder
  create    pack files and folders into a cabinet or a set of cabinets
  sign      sign a cabinet and its set with a private key
  verify    check a cabinet's and its set's signature against a public key

Options of every command, also before the command:
  -q, --quiet   no progress line and no line per file; failures are still
                reported on standard error
  --verbose     add the engine's error name to each failure
  -h, --help    show the command's options and examples
  --version     show the version and the compression methods

While a command runs and standard error is a terminal, one line there shows
the bytes done of the total, the rate and the time left.

Exit status: 0 success, 1 a failure of the input or the output, 2 a usage
error. See 'cabtool COMMAND --help' for a command's options.
)";

const char kList[] = R"(usage: cabtool list [OPTION...] FILE

Shows the cabinet's size, set id and index, its previous and next cabinets,
its folders (compression method and window) and one line per file: size,
date and time, attributes (r read-only, h hidden, s system, a archive,
x execute, u UTF-8 name) and name. FILE may also be a file with cabinets
inside it, such as an installer: each cabinet found is listed in turn.

Options:
  -F PATTERN        only the files whose stored name matches PATTERN: * and ?
                    are wildcards within one folder part, ASCII letters match
                    either case, \ and / both separate folders; a pattern
                    without a separator matches the name's last part, so
                    -F '*.txt' finds text files in every folder and -F 'docs/*'
                    only those directly in docs; repeat -F for more patterns
  --json            a listing for programs: the header, the set links, the
                    folders and every stored field of every file, in JSON
  --offset N        only the cabinet that begins at byte N of FILE (decimal,
                    or hexadecimal after 0x)
  --encoding CP     code page of names not marked as UTF-8 (default 932);
                    raw shows the bytes as stored

Examples:
  cabtool list Update.cab
  cabtool list --json -F '*.ini' setup.exe
)";

const char kTest[] = R"(usage: cabtool test [OPTION...] FILE

Decodes every file of the cabinet, and of the later cabinets of its set that
lie beside it, without writing anything. Prints "ok  NAME" for each good file,
reports each failure, and ends with the count of good files and failures.

Options:
  -F PATTERN        only the files whose stored name matches PATTERN (see
                    cabtool list --help); repeat -F for more patterns
  --hash            print each file's SHA-256: "ok  DIGEST  NAME"
  --stats           on standard error: the data blocks decoded, the folder
                    passes and the bytes read from cabinets
  --salvage         go on past damaged data and report the bytes each damaged
                    file loses, as extract --salvage would
  --offset N        only the cabinet that begins at byte N of FILE
  --encoding CP     code page of names not marked as UTF-8 (default 932)
  --max-window-memory BYTES
                    cap the memory the decoders take for their windows; a
                    Quantum window that does not fit is paged through a
                    temporary file, an LZX window that does not fit fails

Examples:
  cabtool test Update.cab
  cabtool test -q --hash disk1.cab
)";

const char kExtract[] = R"(usage: cabtool extract [OPTION...] FILE

Writes the files below a folder with their stored dates, times and read-only
attribute, following the set through the later cabinets beside FILE. Each
file is written under a temporary name and moved into place when complete.
Names with an absolute path, a drive letter or a ".." part, names that
cannot be converted, and on Windows names of devices (CON, NUL, COM1...) or
ending in a dot or a blank are reported and skipped; the other files are
still written, and the exit status is 1.

Options:
  -d DIR            write below DIR (default: the current folder)
  -F PATTERN        only the files whose stored name matches PATTERN (see
                    cabtool list --help); repeat -F for more patterns
  -p                write the files' bytes to standard output, one after
                    another in list order, instead of creating files
  --stats           on standard error: the data blocks decoded, the folder
                    passes and the bytes read from cabinets (only what is
                    selected is decoded, up to its last byte)
  --overwrite       replace files that exist (the default)
  --no-overwrite    keep files that exist and report them as skipped
  --keep-newer      keep a file that exists and is newer than the stored one
  --salvage[=zero|skip]
                    get what can be read out of a damaged cabinet: the bytes
                    a damaged file loses are filled with zeros (zero, the
                    default) or the file is left out (skip); each damaged
                    file is reported with the byte ranges lost
  --offset N        only the cabinet that begins at byte N of FILE
  --encoding CP     code page of names not marked as UTF-8 (default 932);
                    raw keeps the bytes as stored
  --max-window-memory BYTES
                    cap the memory the decoders take for their windows (see
                    cabtool test --help)

Examples:
  cabtool extract -d out Update.cab
  cabtool extract -p -F readme.txt Update.cab | less
  cabtool extract --salvage -d rescued damaged.cab
)";

const char kCreate[] = R"(usage: cabtool create [OPTION...] -o OUT.cab FILE|FOLDER...

Packs the files under the names given: relative folders are kept, with
backslashes; absolute paths and paths with ".." keep only their file name. A
folder is added with everything below it, stored as FOLDER\NAME. Dates and
the read-only attribute come from the files unless given. Cabinets are
written as they fill, in a few megabytes of memory whatever the input's size,
under temporary names beside OUT.cab; they take their names when the whole
set is written, so a create that fails leaves no cabinet behind.

Options:
  -o OUT.cab        the cabinet to write; with --max-cabinet the output is a
                    set: OUT.cab, OUT2.cab, OUT3.cab and so on, the number
                    placed before the extension
  -m METHOD         none, mszip, quantum:N (window 2^N, N from 10 to 21) or
                    lzx:N (N from 15 to 21); quantum and lzx alone mean N 21;
                    the default is lzx:21
  --no-call-translation
                    keep LZX from rewriting x86 CALL targets, which helps
                    only program code
  --list FILE       read the files from FILE: one source path and stored name
                    a line, separated by a tab
  --sign KEY.pem    sign the cabinet (the set) with this private key, as
                    cabtool sign does
  --date YYYY-MM-DDTHH:MM:SS
                    give every file this date and time
  --attributes rhsa give every file these attributes (r read-only, h hidden,
                    s system, a archive)
  --max-cabinet BYTES
                    largest size of one cabinet of the set
  --continue-folders
                    with --max-cabinet: files may also begin in the folder
                    that runs on from the previous cabinet; packs better, but
                    a reader then needs the earlier cabinets for them, and
                    some readers cannot do that
  --reserve CAB,FOLDER,BLOCK
                    reserve areas of these sizes (at most 60000,255,255)
  --no-checksum     store no data-block checksums
  --folder-every N  begin a new folder after every N files

Examples:
  cabtool create -o Update.cab launch.exe LAUNCH.INI
  cabtool create -m mszip --max-cabinet 1440000 -o disk.cab program
)";

const char kSign[] = R"(usage: cabtool sign KEY.pem CABINET
Signs CABINET and the later cabinets of its set, in its folder, with the
P-256 private key in KEY.pem; an existing signature is replaced. The cabinet
is written anew whole, with room for the signature made in its header.

Make a key pair with openssl:
  openssl ecparam -name prime256v1 -genkey -noout -out signing-key.pem
  openssl ec -in signing-key.pem -pubout -out public-key.pem
)";

const char kVerify[] = R"(usage: cabtool verify PUBLIC.pem CABINET
Checks that CABINET and the later cabinets of its set were signed with the
private half of PUBLIC.pem and are unchanged since. Exits with 0 when they
are; with 1 and the reason otherwise: not signed, another key, altered, or a
later cabinet missing or altered.
)";

}  // namespace

const char *overviewHelp()
{
    return kOverview;
}

const char *commandHelp(const std::string &command)
{
    if (command == "list") {
        return kList;
    }
    if (command == "test") {
        return kTest;
    }
    if (command == "extract") {
        return kExtract;
    }
    if (command == "create") {
        return kCreate;
    }
    if (command == "sign") {
        return kSign;
    }
    if (command == "verify") {
        return kVerify;
    }
    return nullptr;
}

std::string versionText()
{
    return "cabtool " CABTOOL_VERSION "\n"
           "reads:  none (stored), MSZIP, Quantum (windows 2^10 to 2^21), LZX (windows 2^15 to 2^21)\n"
           "writes: none (stored), MSZIP, Quantum (windows 2^10 to 2^21), LZX (windows 2^15 to 2^21)\n";
}

}  // namespace cabtool
