#include "platform/shared_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/processes.h"

namespace {

std::string uniqueName(const char *what) {
    return std::string("ostrels_test_") + what + "_" + std::to_string(platform::CurrentProcessId());
}

}  // namespace

TEST(PlatformSharedMemory, CreateOpenMapAndRemove) {
    const std::string name = uniqueName("block");
    platform::SharedMemoryBlock::Remove(name);
    platform::SharedMemoryBlock creator;
    ASSERT_TRUE(creator.Create(name, 10000));
    EXPECT_EQ(creator.Size(), 10000u);
    // Readable and writable by everyone, whatever the umask.
    const auto perms = std::filesystem::status("/dev/shm/" + name).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, static_cast<std::filesystem::perms>(0666));

    auto *view = static_cast<unsigned char *>(creator.MapView());
    ASSERT_NE(view, nullptr);
    for (size_t i = 0; i < 10000; ++i)
        ASSERT_EQ(view[i], 0);
    std::memcpy(view + 9990, "shared", 6);

    platform::SharedMemoryBlock second;
    EXPECT_FALSE(second.Create(name, 20));  // the name exists already
    ASSERT_EQ(second.Open(name), platform::SharedMemoryBlock::OpenResult::Opened);
    EXPECT_EQ(second.Size(), 10000u);
    auto *other = static_cast<unsigned char *>(second.MapView());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(std::memcmp(other + 9990, "shared", 6), 0);

    EXPECT_TRUE(platform::SharedMemoryBlock::UnmapView(other, 10000));
    EXPECT_TRUE(platform::SharedMemoryBlock::Remove(name));
    // The creator's view outlives the name.
    EXPECT_EQ(std::memcmp(view + 9990, "shared", 6), 0);
    EXPECT_TRUE(platform::SharedMemoryBlock::UnmapView(view, 10000));
    EXPECT_EQ(second.Open(name), platform::SharedMemoryBlock::OpenResult::Missing);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.MapView(), nullptr);
    EXPECT_FALSE(platform::SharedMemoryBlock::Remove(name));
    EXPECT_FALSE(platform::SharedMemoryBlock::UnmapView(nullptr, 1));
}
