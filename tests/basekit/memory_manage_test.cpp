#include "basekit/memory_manage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "test_support.h"

using namespace basekit_test;

namespace {

MakeBuffer threeItems() {
    MakeBuffer buffer;
    EXPECT_EQ(buffer.add_buf(3, "abc"), 1);
    EXPECT_EQ(buffer.add_buf(0, nullptr), 1);
    EXPECT_EQ(buffer.add_buf(5, "vwxyz"), 1);
    return buffer;
}

}  // namespace

// An independent reader of the block format decodes what we build.
TEST(BasekitMakeBuffer, BlockFormatReadByPythonStruct) {
    TempDir dir;
    MakeBuffer buffer = threeItems();
    ASSERT_EQ(buffer.get_mem_len(), 40);
    const std::string path = dir.file("block.bin");
    writeBytes(path, buffer.get_mem_ptr(), static_cast<size_t>(buffer.get_mem_len()));
    const std::string script =
        "import struct,sys\n"
        "b=open(sys.argv[1],'rb').read()\n"
        "n,=struct.unpack_from('<Q',b,0); at=8; out=[str(len(b)),str(n)]\n"
        "for i in range(n):\n"
        "  l,=struct.unpack_from('<Q',b,at); at+=8; out.append('%d:%s'%(l,b[at:at+l].decode())); at+=l\n"
        "print(' '.join(out)+(' end' if at==len(b) else ' trailing'))\n";
    writeText(dir.file("reader.py"), script);
    std::string output;
    ASSERT_EQ(runShell("python3 " + quote(dir.file("reader.py")) + " " + quote(path), &output, &dir), 0);
    EXPECT_EQ(output, "40 3 3:abc 0: 5:vwxyz end\n");
}

TEST(BasekitMakeBuffer, ItemsReadBackByIndexInBothForms) {
    MakeBuffer buffer = threeItems();
    EXPECT_EQ(buffer.get_buf_num(), 3u);
    uint64_t length = 99;
    const char *item = static_cast<const char *>(buffer.get_buf(2, &length));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(std::string(item, length), "vwxyz");
    ASSERT_NE(buffer.get_buf(1, &length), nullptr);
    EXPECT_EQ(length, 0u);

    char copy[8] = {};
    EXPECT_EQ(buffer.get_buf(0, static_cast<void *>(copy)), 3u);
    EXPECT_STREQ(copy, "abc");
    // Index equal to the count: nothing, in both forms.
    EXPECT_EQ(buffer.get_buf(3, &length), nullptr);
    EXPECT_EQ(buffer.get_buf(3, static_cast<void *>(copy)), 0u);
    // The bounded copy refuses a destination that is too small.
    EXPECT_EQ(buffer.get_buf(2, copy, 4), 0u);
    EXPECT_EQ(buffer.get_buf(2, copy, 5), 5u);
}

TEST(BasekitMakeBuffer, ClearBufLeavesAnEmptyEightByteBlock) {
    MakeBuffer buffer = threeItems();
    buffer.clear_buf();
    EXPECT_EQ(buffer.get_mem_len(), 8);
    EXPECT_EQ(buffer.get_buf_num(), 0u);
    const unsigned char zeros[8] = {};
    EXPECT_EQ(std::memcmp(buffer.get_mem_ptr(), zeros, 8), 0);
    EXPECT_EQ(buffer.add_buf(2, "hi"), 1);
    EXPECT_EQ(buffer.get_mem_len(), 18);
}

TEST(BasekitMakeBuffer, RefusesGrowthPast2GiBAndKeepsItsItems) {
    MakeBuffer buffer = threeItems();
    static const char data[1] = {'x'};
    EXPECT_EQ(buffer.add_buf(static_cast<uint64_t>(INT_MAX), data), 0);
    EXPECT_EQ(buffer.add_buf(~0ull, data), 0);
    EXPECT_EQ(buffer.get_buf_num(), 3u);
    EXPECT_EQ(buffer.get_mem_len(), 40);
    uint64_t length = 0;
    ASSERT_NE(buffer.get_buf(0, &length), nullptr);
    EXPECT_EQ(length, 3u);
}

TEST(BasekitMakeBuffer, BogusLengthWrittenThroughThePointerStaysInsideTheBlock) {
    MakeBuffer buffer = threeItems();
    unsigned char *block = static_cast<unsigned char *>(buffer.get_mem_ptr());
    // Item 1's length (at offset 19) now claims far more than the block holds.
    const uint64_t huge = 1ull << 40;
    std::memcpy(block + 19, &huge, sizeof huge);
    uint64_t length = 0;
    EXPECT_NE(buffer.get_buf(0, &length), nullptr);
    EXPECT_EQ(buffer.get_buf(1, &length), nullptr);
    EXPECT_EQ(buffer.get_buf(2, &length), nullptr);
}

TEST(BasekitMemoryManage, CopiesOwnTheirBlocks) {
    MakeBuffer original = threeItems();
    MakeBuffer copy = original;
    MakeBuffer assigned;
    assigned = original;
    EXPECT_NE(copy.get_mem_ptr(), original.get_mem_ptr());
    EXPECT_NE(assigned.get_mem_ptr(), original.get_mem_ptr());
    original.clear_buf();
    for (MakeBuffer *buffer : {&copy, &assigned}) {
        EXPECT_EQ(buffer->get_buf_num(), 3u);
        uint64_t length = 0;
        const char *item = static_cast<const char *>(buffer->get_buf(2, &length));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(std::string(item, length), "vwxyz");
    }
    // Each destructor frees its own block; ASan reports a double free otherwise.
}

TEST(BasekitMemoryManage, ResizeKeepsLeadingBytesAndRefusesNegativeSizes) {
    MemoryManage memory(16);
    ASSERT_EQ(memory.get_mem_len(), 16);
    const unsigned char zeros[16] = {};
    EXPECT_EQ(std::memcmp(memory.get_mem_ptr(), zeros, 16), 0);
    memory.mem_set(0x5A);
    ASSERT_NE(memory.resize_mem(4096), nullptr);
    EXPECT_EQ(static_cast<unsigned char *>(memory.get_mem_ptr())[15], 0x5A);
    EXPECT_EQ(static_cast<int>(memory), 4096);

    void *before = memory.get_mem_ptr();
    EXPECT_EQ(memory.resize_mem(-1), nullptr);
    EXPECT_EQ(memory.get_mem_ptr(), before);
    EXPECT_EQ(memory.get_mem_len(), 4096);

    memory = 8;
    EXPECT_EQ(memory.get_mem_len(), 8);
    EXPECT_EQ(static_cast<unsigned char *>(static_cast<void *>(memory))[7], 0x5A);
    EXPECT_EQ(memory.resize_mem(0), nullptr);
    EXPECT_EQ(memory.get_mem_len(), 0);
    EXPECT_EQ(memory.get_mem_ptr(), nullptr);

    MemoryManage empty(0);
    EXPECT_EQ(empty.get_mem_len(), 0);
    EXPECT_EQ(empty.get_mem_ptr(), nullptr);
}
