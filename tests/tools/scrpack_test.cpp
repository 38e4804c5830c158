// The packer as its users run it: a command line, an exit code, the files it leaves.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "package/package_format.h"
#include "resources/version.h"
#include "tests/support/test_files.h"
#include "tests/tools/pe_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

struct Outcome {
    int exitCode;
    std::string output;  // standard output and standard error together
};

// Under a time limit, so that a packer waiting on a pipe fails the test (exit code 124) instead of
// hanging the run.
Outcome Scrpack(const std::string& arguments) {
    std::string command = "timeout 60 " + std::string(SCRPACK) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return {-1, ""};
    }
    std::string output;
    char chunk[512];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, got);
    }
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class ScrpackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir();
        host_ = Join(dir_, "host.exe");
        saver_ = Join(dir_, "myshow.scr");
        WriteFile(host_, PatternBytes(102400, 1));
        WriteFile(saver_, Saver());
    }
    void TearDown() override { RemoveTree(dir_); }

    std::vector<std::string> Names() {
        std::vector<std::string> names = ListDir(dir_);
        std::sort(names.begin(), names.end());
        return names;
    }

    static Bytes Saver() { return pe_bytes::PeImage(70001, 2); }

    std::string dir_, host_, saver_;
};

TEST_F(ScrpackTest, BuildListAndExtractRoundTrip) {
    std::string out = Join(dir_, "setup.exe");
    std::string extra = Join(dir_, "notes.txt");
    WriteFile(extra, {'h', 'i'});
    Outcome build = Scrpack("build " + host_ + " " + saver_ + " " + extra + " -o " + out);
    ASSERT_EQ(build.exitCode, 0) << build.output;
    EXPECT_EQ(ReadFileBytes(out),
              BuildPackagedFile(PatternBytes(102400, 1),
                                {{"myshow.scr", Saver()}, {"notes.txt", {'h', 'i'}}}));

    Outcome list = Scrpack("list " + out);
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.output, "2 entries\n0\t102400\t70001\tmyshow.scr\n1\t172401\t2\tnotes.txt\n");

    std::string copy = Join(dir_, "copy.scr");
    Outcome extract = Scrpack("extract " + out + " 0 -o " + copy);
    ASSERT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_EQ(ReadFileBytes(copy), Saver());
}

TEST_F(ScrpackTest, AFailedBuildLeavesTheOldOutputAndNoTemporaryFile) {
    std::string out = Join(dir_, "setup.exe");
    WriteFile(out, {1, 2, 3});
    Outcome build = Scrpack("build " + host_ + " " + Join(dir_, "missing.scr") + " -o " + out);
    EXPECT_EQ(build.exitCode, 1);
    EXPECT_NE(build.output.find("missing.scr"), std::string::npos) << build.output;
    EXPECT_EQ(ReadFileBytes(out), (Bytes{1, 2, 3}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"host.exe", "myshow.scr", "setup.exe"}));
}

// A sparse host of 2 GiB costs no disk space and is refused before anything is written.
TEST_F(ScrpackTest, RefusesAnOutputOf2GiBOrMore) {
    ASSERT_EQ(truncate(host_.c_str(), 0x80000000LL - 40), 0);
    std::string out = Join(dir_, "setup.exe");
    Outcome build = Scrpack("build " + host_ + " " + saver_ + " -o " + out);
    EXPECT_EQ(build.exitCode, 1);
    EXPECT_NE(build.output.find("2 GiB"), std::string::npos) << build.output;
    EXPECT_EQ(Names(), (std::vector<std::string>{"host.exe", "myshow.scr"}));
}

TEST_F(ScrpackTest, DamagedPackagesAndBadArgumentsAreReported) {
    std::string out = Join(dir_, "setup.exe");
    ASSERT_EQ(Scrpack("build " + host_ + " " + saver_ + " -o " + out).exitCode, 0);
    Bytes damaged = ReadFileBytes(out);
    damaged[damaged.size() - 12] ^= 0xFF;  // the index offset now points nowhere
    WriteFile(out, damaged);

    struct Case {
        std::string arguments;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {"list " + out, 1, "damaged package"},
        {"extract " + host_ + " 0 -o " + Join(dir_, "x.scr"), 1, "has no entry 0"},
        {"extract " + host_ + " minus -o " + Join(dir_, "x.scr"), 2, "not an entry number"},
        {"build " + host_, 2, "usage:"},
        {"frobnicate", 2, "usage:"},
        {"--help", 0, "scrpack build HOST ENTRY... -o OUT"},
    };
    for (const Case& c : cases) {
        Outcome run = Scrpack(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << "\n" << run.output;
    }
    EXPECT_FALSE(FileExists(Join(dir_, "x.scr")));
}

TEST_F(ScrpackTest, VersionAndHelpAreShownOnStandardOutput) {
    const Outcome version = Scrpack("--version");
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ(std::string("scrpack ") + SCR_VERSION_TEXT + "\n", version.output);
    const Outcome help = Scrpack("--help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.output.find("scrpack verify FILE")) << help.output;
    EXPECT_NE(std::string::npos, help.output.find("scrpack --version")) << help.output;
}

TEST_F(ScrpackTest, OneEntryIsCountedInTheSingular) {
    const std::string out = Join(dir_, "setup.exe");
    ASSERT_EQ(0, Scrpack("build " + host_ + " " + saver_ + " -o " + out).exitCode);
    const Outcome list = Scrpack("list " + out);
    EXPECT_EQ(0, list.exitCode);
    EXPECT_EQ("1 entry\n0\t102400\t70001\tmyshow.scr\n", list.output);
}

// Each refusal leaves the old output as it was and no temporary file beside it.
TEST_F(ScrpackTest, BuildRefusesWhatWouldMakeABrokenInstaller) {
    const std::string out = Join(dir_, "setup.exe");
    const std::string installer = Join(dir_, "installer.exe");
    ASSERT_EQ(0, Scrpack("build " + host_ + " " + saver_ + " -o " + installer).exitCode);
    WriteFile(Join(dir_, "random.scr"), PatternBytes(5000, 7));
    Bytes mzOnly = Saver();
    mzOnly[pe_bytes::kPeOffset] = 'X';
    WriteFile(Join(dir_, "mzonly.scr"), mzOnly);
    WriteFile(Join(dir_, "empty.scr"), {});
    ASSERT_EQ(0, mkdir(Join(dir_, "folder").c_str(), 0755));
    ASSERT_EQ(0, mkfifo(Join(dir_, "pipe.scr").c_str(), 0644));
    const std::vector<std::string> inputs = {"empty.scr",     "folder",     "host.exe",
                                             "installer.exe", "mzonly.scr", "myshow.scr",
                                             "pipe.scr",      "random.scr"};

    struct Case {
        std::string arguments;
        int exitCode;
        const char* says;
    };
    const std::string h = host_ + " ";
    const Case cases[] = {
        {"build " + h + Join(dir_, "random.scr") + " -o " + out, 1, "does not start with an MZ"},
        {"build " + h + Join(dir_, "mzonly.scr") + " -o " + out, 1, "has no PE signature"},
        {"build " + h + Join(dir_, "empty.scr") + " -o " + out, 1, "is empty"},
        {"build " + h + Join(dir_, "empty.scr") + " --any -o " + out, 1, "is empty"},
        {"build " + installer + " " + saver_ + " -o " + out, 1, "already carries a package"},
        {"build " + h + saver_ + " -o " + out + " -o " + Join(dir_, "other.exe"), 2,
         "-o given twice"},
        {"build " + h + saver_ + " -o " + Join(dir_, "folder"), 1, "is a folder"},
        {"build " + h + Join(dir_, "pipe.scr") + " -o " + out, 1, "not a regular file"},
        {"build " + h + saver_ + " " + Join(dir_, "pipe.scr") + " -o " + out, 1,
         "not a regular file"},
        {"build " + Join(dir_, "pipe.scr") + " " + saver_ + " -o " + out, 1, "not a regular file"},
        {"build " + h + Join(dir_, "folder") + " -o " + out, 1, "is a folder"},
        {"build " + h + saver_ + " --quick -o " + out, 2, "unknown option"},
    };
    for (const Case& c : cases) {
        WriteFile(out, {1, 2, 3});
        const Outcome run = Scrpack(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.says)) << c.arguments << "\n" << run.output;
        EXPECT_EQ((Bytes{1, 2, 3}), ReadFileBytes(out)) << c.arguments;
        std::vector<std::string> expected = inputs;
        expected.push_back("setup.exe");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, Names()) << c.arguments;
    }
}

TEST_F(ScrpackTest, AnyAndForcePackWhatIsRefusedWithoutThem) {
    const std::string random = Join(dir_, "random.scr");
    WriteFile(random, PatternBytes(5000, 7));
    const std::string first = Join(dir_, "first.exe");
    const Outcome any = Scrpack("build " + host_ + " --any " + random + " -o " + first);
    ASSERT_EQ(0, any.exitCode) << any.output;
    EXPECT_EQ(BuildPackagedFile(PatternBytes(102400, 1), {{"random.scr", PatternBytes(5000, 7)}}),
              ReadFileBytes(first));

    const std::string nested = Join(dir_, "nested.exe");
    const Outcome force = Scrpack("build --force " + first + " " + saver_ + " -o " + nested);
    ASSERT_EQ(0, force.exitCode) << force.output;
    EXPECT_EQ(BuildPackagedFile(ReadFileBytes(first), {{"myshow.scr", Saver()}}),
              ReadFileBytes(nested));
}

// The installer's header carries the checksum of the whole finished file, so the host's own
// checksum (here a stale one) never survives.
TEST_F(ScrpackTest, AWindowsHostGetsTheChecksumOfTheFinishedInstaller) {
    for (uint16_t magic : {uint16_t(0x10B), uint16_t(0x20B)}) {
        SCOPED_TRACE(magic);
        Bytes host = pe_bytes::PeImage(40961, 9, magic);  // an odd size: entries start unaligned
        host[pe_bytes::kChecksumField] = 0x12;
        WriteFile(host_, host);
        const std::string out = Join(dir_, "setup.exe");
        const Outcome build = Scrpack("build " + host_ + " " + saver_ + " -o " + out);
        ASSERT_EQ(0, build.exitCode) << build.output;
        const Bytes written = ReadFileBytes(out);
        const uint32_t stored = pe_bytes::StoredChecksum(written);
        EXPECT_EQ(pe_bytes::ReferenceChecksum(written, pe_bytes::kChecksumField), stored);
        EXPECT_NE(0u, stored);
        // Apart from the checksum, the bytes are the host and the package, as always.
        Bytes expected = BuildPackagedFile(host, {{"myshow.scr", Saver()}});
        EncodeU32(stored, &expected[pe_bytes::kChecksumField]);
        EXPECT_EQ(expected, written);
    }
}

TEST_F(ScrpackTest, ReplacingAnOutputKeepsItsPermissionBits) {
    const std::string out = Join(dir_, "setup.exe");
    WriteFile(out, {1, 2, 3});
    for (mode_t mode : {mode_t(0751), mode_t(0600), mode_t(0644)}) {
        ASSERT_EQ(0, chmod(out.c_str(), mode));
        const Outcome build = Scrpack("build " + host_ + " " + saver_ + " -o " + out);
        ASSERT_EQ(0, build.exitCode) << build.output;
        struct stat info;
        ASSERT_EQ(0, stat(out.c_str(), &info));
        EXPECT_EQ(mode, info.st_mode & 07777) << std::oct << mode;
    }
}

TEST_F(ScrpackTest, VerifySaysWhatIsWrongWithAnInstaller) {
    struct Case {
        const char* label;
        Bytes file;
        int exitCode;
        const char* says;
    };
    const Bytes host = PatternBytes(4096, 1);
    Bytes damaged = BuildPackagedFile(host, {{"myshow.scr", Saver()}});
    damaged[damaged.size() - 12] ^= 0xFF;
    Bytes mzOnly = Saver();
    mzOnly[pe_bytes::kPeOffset + 1] = 'X';
    const Case cases[] = {
        {"good", BuildPackagedFile(host, {{"myshow.scr", Saver()}, {"notes.txt", {'h', 'i'}}}), 0,
         "2 entries; entry 0 \"myshow.scr\", 70001 bytes, is a Windows executable"},
        {"bare host", host, 1, "carries no package"},
        {"empty package", BuildPackagedFile(host, {}), 1, "carries no package"},
        {"damaged index", damaged, 1, "damaged package"},
        {"empty entry 0", BuildPackagedFile(host, {{"myshow.scr", {}}}), 1,
         "entry 0, the screen saver, is empty"},
        {"entry 0 not an executable", BuildPackagedFile(host, {{"notes.txt", {'h', 'i'}}}), 1,
         "entry 0 does not start with an MZ header"},
        {"entry 0 without PE signature", BuildPackagedFile(host, {{"myshow.scr", mzOnly}}), 1,
         "entry 0 has no PE signature"},
    };
    const std::string path = Join(dir_, "check.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(path, c.file);
        const Outcome run = Scrpack("verify " + path);
        EXPECT_EQ(c.exitCode, run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(c.says)) << run.output;
    }
    const Outcome missing = Scrpack("verify " + Join(dir_, "missing.exe"));
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.output.find("cannot open")) << missing.output;
}

TEST_F(ScrpackTest, ExtractTakesThePlainDecimalNumberOfAnEntry) {
    const std::string out = Join(dir_, "setup.exe");
    WriteFile(Join(dir_, "b.txt"), {'b'});
    ASSERT_EQ(0, Scrpack("build " + host_ + " " + saver_ + " " + Join(dir_, "b.txt") + " -o " + out)
                     .exitCode);
    struct Case {
        const char* number;
        int exitCode;
    };
    const Case cases[] = {{"1", 0},   {"01", 0},         {"+1", 2},  {"' 1'", 2},
                          {"0x1", 2}, {"1e0", 2},        {"1.0", 2}, {"-0", 2},
                          {"''", 2},  {"4294967297", 2}, {"2", 1}};
    const std::string copy = Join(dir_, "copy.bin");
    for (const Case& c : cases) {
        RemoveTree(copy);
        const Outcome run = Scrpack("extract " + out + " " + c.number + " -o " + copy);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.number << "\n" << run.output;
        EXPECT_EQ(c.exitCode == 0, FileExists(copy)) << c.number;
        if (c.exitCode == 0) {
            EXPECT_EQ((Bytes{'b'}), ReadFileBytes(copy));
        }
    }
}

}  // namespace
