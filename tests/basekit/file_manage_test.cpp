#include "basekit/file_manage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_descriptors.h"
#include "support/scoped_env.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

class RootedFiles : public testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.file("base");
        rootVariable_.Set((root_ + "/").c_str());
    }
    std::string shell(const std::string &command) {
        std::string output;
        EXPECT_EQ(runShell(command, &output, &dir_), 0) << command;
        return output;
    }

    TempDir dir_;
    std::string root_;
    testing_support::ScopedEnv rootVariable_{"LENTIX_ROOT", nullptr};
};

std::vector<std::string> sortedLines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

TEST_F(RootedFiles, RelativeNameResolvesUnderTheRootAndCreatesItsFolders) {
    FileManage file("data/a/b.bin");
    EXPECT_EQ(std::string(file.get_filename()), root_ + "/data/a/b.bin");
    EXPECT_EQ(std::string(file.get_directory()), root_ + "/data/a/");
    EXPECT_STREQ(file.get_shortname(), "b.bin");
    for (const char *folder : {"", "/data", "/data/a"})
        EXPECT_TRUE(fs::is_directory(root_ + folder)) << folder;

    // Backslashes separate as well; absolute names are taken as they are.
    FileManage windowsStyle("data\\c\\d.bin");
    EXPECT_EQ(std::string(windowsStyle.get_filename()), root_ + "/data/c/d.bin");
    EXPECT_TRUE(fs::is_directory(root_ + "/data/c"));
    const std::string absolute = dir_.file("elsewhere/e.txt");
    FileManage other;
    other = absolute.c_str();
    EXPECT_EQ(std::string(other.get_filename()), absolute);
    EXPECT_TRUE(fs::is_directory(dir_.file("elsewhere")));
}

TEST_F(RootedFiles, NamesThatDoNotFitAreRefusedAndCreateNothing) {
    FileManage file;
    const std::string longFile = "deep/" + std::string(40, 'f') + ".bin";  // file name over 31 characters
    EXPECT_EQ(file.set_filename(longFile.c_str()), 0);
    EXPECT_STREQ(file.get_filename(), "");
    EXPECT_FALSE(fs::exists(root_ + "/deep"));

    const std::string longFolder = std::string(300, 'd') + "/x.bin";
    EXPECT_EQ(file.set_filename(longFolder.c_str()), 0);
    EXPECT_STREQ(file.get_filename(), "");

    rootVariable_.Unset();
    EXPECT_EQ(file.set_filename("data/x.bin"), 0);
    EXPECT_STREQ(file.get_filename(), "");
    EXPECT_EQ(file.set_filename(dir_.file("x.bin").c_str()), 1);
}

TEST_F(RootedFiles, BinaryFileWritesReadsAndAppends) {
    BinaryFile file("bin/data.bin");
    const std::string first = "first part\n";
    // Appending to a missing file creates it.
    EXPECT_EQ(file.append_file(first.data(), static_cast<int>(first.size())), static_cast<int>(first.size()));
    EXPECT_EQ(file.append_file("second", 6), 6);
    EXPECT_EQ(readText(file.get_filename()), first + "second");

    const auto payload = randomBytes(100000, 7);
    EXPECT_EQ(file.write_file(payload.data(), static_cast<int>(payload.size())), 100000);
    EXPECT_EQ(shell("stat -c '%a %s' " + quote(file.get_filename())), "600 100000\n");
    EXPECT_EQ(file.get_file_len(), 100000);
    EXPECT_EQ(FileManage::get_file_len(file.get_filename()), 100000);

    std::vector<unsigned char> back(200000);
    EXPECT_EQ(file.read_file(back.data(), 200000), 100000);
    back.resize(100000);
    EXPECT_EQ(back, payload);
    EXPECT_EQ(file.read_file(back.data(), 10), 10);

    EXPECT_EQ(file.del_file(), 1);
    EXPECT_EQ(file.del_file(), 0);
    EXPECT_EQ(file.get_file_len(), -1);
    EXPECT_EQ(file.read_file(back.data(), 10), -1);

    // A folder is not a file to read or measure.
    fs::create_directories(dir_.file("folder"));
    BinaryFile folder(dir_.file("folder").c_str());
    ASSERT_STREQ(folder.get_shortname(), "folder");
    EXPECT_EQ(folder.read_file(back.data(), 10), -1);
    EXPECT_EQ(folder.get_file_len(), -1);
}

TEST_F(RootedFiles, LengthsBeyond2GiBAreReported) {
    const std::string path = dir_.file("sparse.bin");
    shell("truncate -s 3G " + quote(path));
    EXPECT_EQ(FileManage::get_file_len(path.c_str()), 3LL << 30);
}

TEST_F(RootedFiles, FileAlterTimeAgreesWithTouchAndDate) {
    const std::string path = dir_.file("stamped.txt");
    writeText(path, "x");
    shell("touch -d '2024-03-10 12:34:56.789' " + quote(path));
    SYS_TIME t{};
    const int64_t seconds = FileManage::GetFileAlterTime(path.c_str(), &t);
    EXPECT_EQ(std::to_string(seconds) + "\n", shell("date -r " + quote(path) + " +%s"));
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 10);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 34);
    EXPECT_EQ(t.second, 56);
    EXPECT_EQ(t.millisecond, 789);
    SYS_TIME untouched{};
    untouched.year = 1;
    EXPECT_EQ(FileManage::GetFileAlterTime(dir_.file("missing").c_str(), &untouched), 0);
    EXPECT_EQ(untouched.year, 1);
}

TEST_F(RootedFiles, FolderListingsAgreeWithFind) {
    const std::string top = dir_.file("tree");
    for (const char *folder : {"tree/a/b", "tree/c"})
        fs::create_directories(dir_.file(folder));
    for (const char *file : {"tree/one.txt", "tree/two.bin", "tree/a/three", "tree/a/b/four.txt", "tree/c/five"})
        writeText(dir_.file(file), "x");
    // A link back to the top must not send the walk round in circles.
    fs::create_directory_symlink(top, dir_.file("tree/a/loop"));

    char (*names)[FileManage::kFoundNameSize] = new char[FileManage::kMaxFoundNames][FileManage::kFoundNameSize];
    int count = -1;
    auto collected = [&] {
        std::string all;
        for (int i = 0; i < count; ++i)
            all += std::string(names[i]) + "\n";
        return sortedLines(all);
    };
    EXPECT_EQ(FileManage::FindFileInDir(top.c_str(), names, &count, 0), 2);
    EXPECT_EQ(collected(), sortedLines(shell("find " + quote(top) + " -maxdepth 1 -type f -printf '%f\\n'")));
    EXPECT_EQ(FileManage::FindFileInDir(top.c_str(), names, &count, 1), 5);
    EXPECT_EQ(collected(), sortedLines(shell("find " + quote(top) + " -type f -printf '%f\\n'")));
    EXPECT_EQ(FileManage::FindFileInDir(dir_.file("missing").c_str(), names, &count, 1), 0);
    EXPECT_EQ(count, 0);

    // Entries of every kind are counted, up to the limit.
    const int entries = std::stoi(shell("find " + quote(top) + " -mindepth 1 -maxdepth 1 | wc -l"));
    EXPECT_EQ(FileManage::GetFileNumInDir(top.c_str(), 100), entries);
    EXPECT_EQ(FileManage::GetFileNumInDir(top.c_str(), 2), 2);
    EXPECT_EQ(FileManage::GetFileNumInDir(dir_.file("missing").c_str(), 100), 0);

    // Never more than 1024 names, however many files there are.
    const std::string many = dir_.file("many");
    fs::create_directories(many);
    shell("cd " + quote(many) + " && seq 1 1100 | xargs touch");
    EXPECT_EQ(FileManage::FindFileInDir(many.c_str(), names, &count, 0), 1024);
    EXPECT_EQ(count, 1024);
    delete[] names;
}

TEST_F(RootedFiles, FixedSizeFileIsFilledWithFF) {
    const std::string path = dir_.file("fixed.bin");
    const int fd = FileManage::CreateFixedSizeFile(path.c_str(), 100000, platform::kOpenReadWrite);
    ASSERT_GE(fd, 0);
    platform::CloseDescriptor(fd);
    writeText(dir_.file("cmp.sh"), "head -c 100000 /dev/zero | tr '\\0' '\\377' | cmp -s - \"$1\"\n");
    EXPECT_EQ(runShell("sh " + quote(dir_.file("cmp.sh")) + " " + quote(path)), 0);
    const int empty = FileManage::CreateFixedSizeFile(dir_.file("empty.bin").c_str(), 0, platform::kOpenReadOnly);
    ASSERT_GE(empty, 0);
    platform::CloseDescriptor(empty);
    EXPECT_EQ(FileManage::get_file_len(dir_.file("empty.bin").c_str()), 0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(FileManage::CreateFixedSizeFile(dir_.file("no/such/folder/f").c_str(), 10, platform::kOpenReadWrite), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("CreateFixedSizeFile open file erro\n"), std::string::npos);
}

TEST_F(RootedFiles, ExistenceAndDeletion) {
    const std::string path = dir_.file("here.txt");
    writeText(path, "x");
    EXPECT_EQ(FileManage::IsDirExist(dir_.path().c_str()), 1);
    EXPECT_EQ(FileManage::IsDirExist(path.c_str()), 1);
    EXPECT_EQ(FileManage::IsDirExist(dir_.file("missing").c_str()), 0);
    EXPECT_EQ(FileManage::DeleteFileA(dir_.path().c_str()), 0);
    EXPECT_EQ(FileManage::DeleteFileA(path.c_str()), 1);
    EXPECT_EQ(FileManage::DeleteFileA(path.c_str()), 0);
}

TEST_F(RootedFiles, FileInUseIsSeenFromAnotherProcess) {
    const std::string path = dir_.file("busy.txt");
    writeText(path, "x");
    EXPECT_EQ(FileManage::IsFileUsingEx(path.c_str()), 0);
    EXPECT_EQ(FileManage::IsFileUsing(path.c_str()), 0);
    EXPECT_EQ(FileManage::IsFileUsing(dir_.file("missing").c_str()), 0);
    // A file that cannot be opened counts as in use, as a failed exclusive open did.
    EXPECT_EQ(FileManage::IsFileUsingEx(dir_.file("missing").c_str()), 1);

    // A holder that keeps the file open, and a writer that keeps changing it.
    writeText(dir_.file("hold.sh"), "exec 3<>\"$1\"\ntouch \"$2\"\nsleep 4\n");
    runShell("bash " + quote(dir_.file("hold.sh")) + " " + quote(path) + " " + quote(dir_.file("held")) +
             " >/dev/null 2>&1 &");
    runShell("for i in $(seq 1 100); do [ -f " + quote(dir_.file("held")) + " ] && break; sleep 0.05; done");
    EXPECT_EQ(FileManage::IsFileUsingEx(path.c_str()), 1);

    const std::string writer = dir_.file("log.txt");
    writeText(writer, "");
    writeText(dir_.file("write.sh"), "for i in $(seq 1 15); do echo x >> \"$1\"; sleep 0.2; done\n");
    runShell("sh " + quote(dir_.file("write.sh")) + " " + quote(writer) + " >/dev/null 2>&1 &");
    EXPECT_EQ(FileManage::IsFileUsing(writer.c_str()), 1);
}
