#include "basekit/share_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/shared_memory.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

// Keys of this test's own blocks, apart from the library's fixed ones.
constexpr int kKey = 19810901;
constexpr int kOtherKey = 19810902;

class SharedBlocks : public testing::Test {
protected:
    void SetUp() override { removeAll(); }
    void TearDown() override { removeAll(); }
    static void removeAll() {
        for (int key : {kKey, kOtherKey})
            platform::SharedMemoryBlock::Remove("SHM" + std::to_string(key));
    }
    std::string probe(const std::string &arguments) {
        std::string output;
        EXPECT_EQ(runShell(std::string(BASEKIT_PROBE) + " " + arguments + " | grep -v '^set '", &output, &dir_), 0)
            << arguments;
        return output;
    }

    TempDir dir_;
};

}  // namespace

TEST_F(SharedBlocks, TwoProcessesShareOneBlock) {
    // The first process creates the block, the second finds it.
    EXPECT_EQ(probe("shm-put " + std::to_string(kKey) + " 8192 16 1234"), "created=1 old=0 size=8192\n");
    EXPECT_EQ(probe("shm-put " + std::to_string(kKey) + " 4096 16 5678"), "created=0 old=1234 size=8192\n");

    ShareMemory here;
    int created = -1;
    auto *block = static_cast<unsigned char *>(here.CreateAndMapShareMemory(kKey, 100, &created));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(created, 0);
    EXPECT_EQ(here.GetShmSize(), 8192u);  // the creator's size stands
    uint32_t word = 0;
    std::memcpy(&word, block + 16, 4);
    EXPECT_EQ(word, 5678u);
    word = 4242;
    std::memcpy(block + 20, &word, 4);
    EXPECT_EQ(probe("shm-get " + std::to_string(kKey) + " 20"), "4242\n");
    EXPECT_EQ(here.FreeShareMemory(kKey), 1);
}

// Python maps the block through /dev/shm on its own.
TEST_F(SharedBlocks, PythonSeesAndWritesTheSameBytes) {
    ShareMemory here(kKey, 4096);
    auto *block = static_cast<unsigned char *>(here.GetShmPtr());
    ASSERT_NE(block, nullptr);
    const uint32_t word = 0xC0FFEE;
    std::memcpy(block + 100, &word, 4);
    std::string output;
    const std::string script = "import mmap,struct\n"
                               "f=open('/dev/shm/SHM" + std::to_string(kKey) + "','r+b')\n"
                               "m=mmap.mmap(f.fileno(),0)\n"
                               "print(len(m), struct.unpack_from('<I',m,100)[0])\n"
                               "struct.pack_into('<I',m,200,0xBEEF)\n";
    writeText(dir_.file("peer.py"), script);
    ASSERT_EQ(runShell("python3 " + quote(dir_.file("peer.py")), &output, &dir_), 0);
    EXPECT_EQ(output, "4096 " + std::to_string(0xC0FFEE) + "\n");
    uint32_t back = 0;
    std::memcpy(&back, block + 200, 4);
    EXPECT_EQ(back, 0xBEEFu);
    EXPECT_EQ(runShell("test \"$(stat -c '%a %s' /dev/shm/SHM" + std::to_string(kKey) + ")\" = '666 4096'"), 0);
    here.FreeShareMemory(kKey);
}

TEST_F(SharedBlocks, HandleRulesOfTheOperations) {
    ShareMemory memory;
    EXPECT_EQ(memory.FreeShareMemory(kKey), 0);  // no handle yet
    EXPECT_EQ(memory.CheckShareMemory(kKey), 0);
    EXPECT_EQ(memory.MapShareMemory(kKey), nullptr);
    EXPECT_EQ(memory.CreateShareMemory(kKey, 0), 0);
    int created = -1;
    EXPECT_EQ(memory.CreateAndMapShareMemory(kKey, 0, &created), nullptr);  // no size: nothing to create
    EXPECT_EQ(created, 0);
    EXPECT_NE(runShell("test -e /dev/shm/SHM" + std::to_string(kKey)), 0);

    EXPECT_EQ(memory.CreateShareMemory(kKey, 512), 1);
    EXPECT_EQ(memory.CheckShareMemory(kKey), 1);
    // A second creation on the same object creates nothing, even for another key.
    EXPECT_EQ(memory.CreateShareMemory(kOtherKey, 512), 0);
    EXPECT_NE(runShell("test -e /dev/shm/SHM" + std::to_string(kOtherKey)), 0);

    auto *view = static_cast<unsigned char *>(memory.MapShareMemory(kKey));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(memory.GetShmPtr(), view);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(view[i], 0) << "new blocks start zero-filled";

    // A second view of the same block, unmapped by address.
    ShareMemory other;
    void *second = other.MapShareMemory(kKey);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(memory.UnMapShareMemory(second), 1);
    EXPECT_EQ(memory.UnMapShareMemory(second), 0);
    int stackValue = 0;
    EXPECT_EQ(memory.UnMapShareMemory(&stackValue), 0);

    EXPECT_EQ(memory.UnMapShareMemory(), 1);
    EXPECT_EQ(memory.GetShmPtr(), nullptr);
    EXPECT_EQ(memory.FreeShareMemory(kKey), 1);
    EXPECT_EQ(memory.FreeShareMemory(kKey), 0);
}

TEST_F(SharedBlocks, ProcessTableIsMappedAtLoad) {
    ASSERT_EQ(ProcMan::IsAvailable(), 1);
    ProcMan another;
    EXPECT_EQ(another.GetInfPtr(), ProcMan::ptr);
    EXPECT_EQ(g_proc_man.GetInfPtr(), ProcMan::ptr);
    std::string output;
    ASSERT_EQ(runShell("stat -c %s /dev/shm/SHM19810811", &output, &dir_), 0);
    // Whoever came first sets the size: the process table (2644) or LogFile (4096).
    EXPECT_TRUE(output == "2644\n" || output == "4096\n") << output;
    // The table is shared: a word written here is read by another process.
    ProcMan::ptr->table[0] = 0x5A;
    EXPECT_EQ(probe("shm-get 19810811 4"), std::to_string(0x5A) + "\n");
    ProcMan::ptr->table[0] = 0;
}

// A process table that cannot be mapped (here: a block too small for it) is
// reported, and the process that loaded the library carries on.
// The same holds for the log ring: writes to it are then refused.
class TooSmallBlock {
public:
    explicit TooSmallBlock(int key)
        : name_("SHM" + std::to_string(key)), path_("/dev/shm/" + name_), saved_(path_.string() + ".basekit_test") {
        fs::rename(path_, saved_);  // this process keeps its view of the real block
        created_ = tiny_.Create(name_, 16);
    }
    ~TooSmallBlock() {
        tiny_.Close();
        platform::SharedMemoryBlock::Remove(name_);
        fs::rename(saved_, path_);
    }
    bool created() const { return created_; }

private:
    std::string name_;
    fs::path path_, saved_;
    platform::SharedMemoryBlock tiny_;
    bool created_ = false;
};

TEST_F(SharedBlocks, LoadingNeverEndsTheProcessWhenTheTableOrRingFails) {
    {
        TooSmallBlock table(ProcMan::kKey);
        ASSERT_TRUE(table.created());
        std::string output;
        EXPECT_EQ(runShell(std::string(BASEKIT_PROBE) + " procman 2>&1", &output, &dir_), 0);
        EXPECT_NE(output.find("Create LogShareMemory Error\n"), std::string::npos) << output;
        EXPECT_NE(output.find("available=0\n"), std::string::npos) << output;
    }
    {
        TooSmallBlock ring(19810810);
        ASSERT_TRUE(ring.created());
        std::string output;
        // The writer runs to its end and reports that nothing went into the ring.
        EXPECT_EQ(runShell("{ " + std::string(BASEKIT_PROBE) + " ring-write 5 3 x; echo status=$?; } 2>&1", &output, &dir_), 0);
        EXPECT_NE(output.find("Create LogShareMemory Error\n"), std::string::npos) << output;
        EXPECT_NE(output.find("status=1\n"), std::string::npos) << output;
    }
    EXPECT_EQ(probe("procman"), "available=1\n");
}
