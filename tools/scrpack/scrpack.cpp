// scrpack: appends a package to a host executable, lists, checks or extracts a package.
// Output is written to a temporary file beside the destination and renamed into place, so a
// failed run never leaves a half-written installer.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "platform/platform.h"
#include "resources/version.h"
#include "tools/scrpack/installer_build.h"
#include "tools/scrpack/pe_image.h"
#include "tools/scrpack/scrpack_text.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  scrpack build HOST ENTRY... -o OUT   write HOST followed by a package of the ENTRY files\n"
    "        [--any] [--force]             (entry 0 is the screen saver the installer copies;\n"
    "                                      --any packs an entry 0 that is no Windows executable,\n"
    "                                      --force a HOST that already carries a package)\n"
    "  scrpack list FILE                    print each entry's index, offset, size and name\n"
    "  scrpack verify FILE                  check that FILE is an installer that can install\n"
    "  scrpack extract FILE N -o OUT        write entry N of FILE's package to OUT\n"
    "  scrpack --version                    show the version\n"
    "  scrpack --help                       show this text\n";

int Usage() {
    fputs(kUsage, stderr);
    return 2;
}

int UsageError(const char* what, const std::string& argument) {
    fprintf(stderr, "scrpack: %s%s\n", what, argument.c_str());
    return Usage();
}

bool OpenPackage(PackageReader& reader, const std::string& path) {
    if (reader.Open(path.c_str())) {
        return true;
    }
    if (reader.LastError() == ErrCannotOpen) {
        Failed("cannot open", path);
    } else {
        fprintf(stderr, "scrpack: '%s' carries a damaged package\n", path.c_str());
    }
    return false;
}

const char* EntriesWord(int32_t count) {
    return count == 1 ? "entry" : "entries";
}

int List(const std::string& path) {
    PackageReader reader;
    if (!OpenPackage(reader, path)) {
        return 1;
    }
    const int32_t count = reader.EntryCount();
    printf("%d %s\n", count, EntriesWord(count));
    for (int32_t i = 0; i < count; ++i) {
        const PackageEntry* entry = reader.Entry(i);
        printf("%d\t%u\t%u\t%s\n", i, entry->offset, entry->size, PrintableName(*entry).c_str());
    }
    return 0;
}

// Every problem found is printed; the exit code says whether there was any.
int Verify(const std::string& path) {
    PackageReader reader;
    if (!OpenPackage(reader, path)) {
        return 1;
    }
    uint64_t fileSize = 0;
    platform::FileHandle file = platform::OpenForReading(path.c_str());
    if (file == platform::kNoFile || !platform::FileSize(file, &fileSize)) {
        if (file != platform::kNoFile) {
            platform::CloseFile(file);
        }
        Failed("cannot read the size of", path);
        return 1;
    }
    platform::CloseFile(file);
    const int32_t count = reader.EntryCount();
    if (count == 0) {
        fprintf(stderr, "scrpack: '%s' carries no package (or an empty one)\n", path.c_str());
        return 1;
    }
    bool ok = true;
    for (int32_t i = 0; i < count; ++i) {
        const PackageEntry* entry = reader.Entry(i);
        if (uint64_t(entry->offset) + entry->size > fileSize) {
            fprintf(stderr,
                    "scrpack: '%s': entry %d (%u bytes at %u) runs past the end of the file\n",
                    path.c_str(), i, entry->size, entry->offset);
            ok = false;
        }
    }
    const PackageEntry* saver = reader.Entry(0);
    if (ok && saver->size == 0) {
        fprintf(stderr, "scrpack: '%s': entry 0, the screen saver, is empty\n", path.c_str());
        ok = false;
    } else if (ok) {
        const uint8_t* data = nullptr;
        EntryView* view = reader.MapEntry(0, &data);
        if (!view) {
            Failed("cannot map entry 0 of", path);
            return 1;
        }
        const ByteSpan span = {data, saver->size};
        const PeCheck check = CheckWindowsExecutable(MemorySource(&span));
        PackageReader::UnmapEntry(view);
        if (check != PeCheck::kWindowsExecutable) {
            fprintf(stderr, "scrpack: '%s': entry 0 %s, so it is no screen saver\n", path.c_str(),
                    DescribePeCheck(check));
            ok = false;
        }
    }
    if (!ok) {
        return 1;
    }
    printf("%s: %d %s; entry 0 \"%s\", %u bytes, is a Windows executable\n", path.c_str(), count,
           EntriesWord(count), PrintableName(*saver).c_str(), saver->size);
    return 0;
}

// Plain decimal digits only: no sign, no spaces, no other base.
bool ParseEntryNumber(const std::string& text, int32_t* number) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > 0x7FFFFFFF) {
        return false;
    }
    *number = int32_t(value);
    return true;
}

int Extract(const std::string& path, const std::string& number, const std::string& out) {
    int32_t index = 0;
    if (!ParseEntryNumber(number, &index)) {
        fprintf(stderr, "scrpack: '%s' is not an entry number\n", number.c_str());
        return 2;
    }
    PackageReader reader;
    if (!OpenPackage(reader, path)) {
        return 1;
    }
    if (index >= reader.EntryCount()) {
        fprintf(stderr, "scrpack: '%s' has no entry %d\n", path.c_str(), index);
        return 1;
    }
    const uint8_t* data = nullptr;
    EntryView* view = reader.MapEntry(index, &data);
    if (!view) {
        Failed("cannot map an entry of", path);
        return 1;
    }
    uint32_t size = reader.EntrySize(index);
    OutputFile output(out);
    bool ok = output.Create() && output.Write(data, size) && output.Finish();
    PackageReader::UnmapEntry(view);
    return ok ? 0 : 1;
}

// A command's arguments: the plain ones in order, and the options among them.
struct Arguments {
    std::vector<std::string> plain;
    std::string out;
    BuildOptions build;
};

// False, after a message, for a repeated or empty -o and for an option the command lacks.
bool SplitArguments(const std::vector<std::string>& args, bool buildOptions, Arguments* parsed) {
    bool haveOut = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o") {
            if (haveOut) {
                UsageError("-o given twice: ", args[i + 1 < args.size() ? i + 1 : i]);
                return false;
            }
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                UsageError("-o needs a file name", "");
                return false;
            }
            parsed->out = args[++i];
            haveOut = true;
        } else if (buildOptions && arg == "--any") {
            parsed->build.anyEntry = true;
        } else if (buildOptions && arg == "--force") {
            parsed->build.force = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            UsageError("unknown option ", arg);
            return false;
        } else {
            parsed->plain.push_back(arg);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage();
    }
    if (args[0] == "--help" || args[0] == "-h") {
        fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] == "--version") {
        printf("scrpack %s\n", SCR_VERSION_TEXT);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    Arguments parsed;
    if (!SplitArguments(args, command == "build", &parsed)) {
        return 2;
    }
    const std::vector<std::string>& plain = parsed.plain;
    const bool haveOut = !parsed.out.empty();
    if (command == "build" && haveOut && plain.size() >= 2) {
        return BuildInstaller(plain[0], std::vector<std::string>(plain.begin() + 1, plain.end()),
                              parsed.out, parsed.build);
    }
    if (command == "list" && !haveOut && plain.size() == 1) {
        return List(plain[0]);
    }
    if (command == "verify" && !haveOut && plain.size() == 1) {
        return Verify(plain[0]);
    }
    if (command == "extract" && haveOut && plain.size() == 2) {
        return Extract(plain[0], plain[1], parsed.out);
    }
    return Usage();
}
