#include "platform/file_descriptors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/processes.h"

namespace {

namespace fs = std::filesystem;

class ScratchFolder {
public:
    ScratchFolder() : path_(fs::temp_directory_path() / ("ostrels_fd_" + std::to_string(platform::CurrentProcessId()))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(PlatformFileDescriptors, OpenWriteAppendAndFill) {
    ScratchFolder dir;
    const std::string path = dir.file("data.bin");
    int fd = platform::OpenDescriptor(path, platform::kOpenWriteOnly | platform::kOpenCreate | platform::kOpenAppend);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::WriteDescriptor(fd, "abc", 3), 3);
    EXPECT_TRUE(platform::CloseDescriptor(fd));
    fd = platform::OpenDescriptor(path, platform::kOpenWriteOnly | platform::kOpenAppend);
    EXPECT_EQ(platform::WriteDescriptor(fd, "def", 3), 3);
    platform::CloseDescriptor(fd);
    EXPECT_EQ(contents(path), "abcdef");
    EXPECT_EQ(platform::OpenDescriptor(dir.file("missing"), platform::kOpenReadOnly), -1);
    EXPECT_FALSE(platform::CloseDescriptor(-1));

    ASSERT_TRUE(platform::CreateFilledFile(path, 5000, 0xFF));
    EXPECT_EQ(contents(path), std::string(5000, '\xFF'));
    ASSERT_TRUE(platform::CreateFilledFile(path, 0, 0xFF));
    EXPECT_EQ(contents(path), "");
    EXPECT_FALSE(platform::CreateFilledFile(dir.file("no/folder/f"), 10, 0));
}

TEST(PlatformFileDescriptors, FileUseSeesOtherOpenDescriptors) {
    ScratchFolder dir;
    const std::string path = dir.file("busy.txt");
    std::ofstream(path) << "x";
    EXPECT_EQ(platform::CheckFileUse(path), platform::FileUse::Unused);
    const int fd = platform::OpenDescriptor(path, platform::kOpenReadOnly);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::CheckFileUse(path), platform::FileUse::InUse);
    platform::CloseDescriptor(fd);
    EXPECT_EQ(platform::CheckFileUse(path), platform::FileUse::Unused);
    EXPECT_EQ(platform::CheckFileUse(dir.file("missing")), platform::FileUse::CannotOpen);
}
