// The packer as its users run it: a command line, an exit code, the files it leaves.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace testing_files;

struct Outcome {
    int exitCode;
    std::string output;  // standard output and standard error together
};

Outcome Scrpack(const std::string& arguments) {
    std::string command = std::string(SCRPACK) + " " + arguments + " 2>&1";
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
        WriteFile(saver_, PatternBytes(70001, 2));
    }
    void TearDown() override { RemoveTree(dir_); }

    std::vector<std::string> Names() {
        std::vector<std::string> names = ListDir(dir_);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_, host_, saver_;
};

TEST_F(ScrpackTest, BuildListAndExtractRoundTrip) {
    std::string out = Join(dir_, "setup.exe");
    std::string extra = Join(dir_, "notes.txt");
    WriteFile(extra, {'h', 'i'});
    Outcome build = Scrpack("build " + host_ + " " + saver_ + " " + extra + " -o " + out);
    ASSERT_EQ(build.exitCode, 0) << build.output;
    EXPECT_EQ(ReadFileBytes(out),
              BuildPackagedFile(PatternBytes(102400, 1), {{"myshow.scr", PatternBytes(70001, 2)},
                                                          {"notes.txt", {'h', 'i'}}}));

    Outcome list = Scrpack("list " + out);
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.output, "2 entries\n0\t102400\t70001\tmyshow.scr\n1\t172401\t2\tnotes.txt\n");

    std::string copy = Join(dir_, "copy.scr");
    Outcome extract = Scrpack("extract " + out + " 0 -o " + copy);
    ASSERT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_EQ(ReadFileBytes(copy), PatternBytes(70001, 2));
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

}  // namespace
