// Programs built against the library call the exported classes through their
// vtables, so the order of the virtual operations is part of the interface.
// Under the Itanium C++ ABI a pointer to a virtual member holds 1 + the byte
// offset of its slot; a destructor takes two slots.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "basekit/file_manage.h"
#include "basekit/log_information.h"
#include "basekit/memory_manage.h"
#include "basekit/share_memory.h"

namespace {

template <typename Member>
std::ptrdiff_t slotOf(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t raw = 0;
    std::memcpy(&raw, &member, sizeof raw);
    EXPECT_EQ(raw % static_cast<std::ptrdiff_t>(sizeof(void *)), 1) << "not a virtual member";
    return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void *));
}

}  // namespace

TEST(BasekitVirtualSlots, FileClasses) {
    EXPECT_EQ(slotOf(&FileManage::del_file), 2);
    EXPECT_EQ(slotOf(&BinaryFile::read_file), 3);
    EXPECT_EQ(slotOf(&BinaryFile::write_file), 4);
    EXPECT_EQ(slotOf(&BinaryFile::append_file), 5);
    EXPECT_EQ(slotOf(static_cast<int (IniFile::*)(const char *, const char *, char *)>(&IniFile::ReadKeyValue)), 3);
    EXPECT_EQ(slotOf(&IniFile::ReadKeyStringValue), 4);
    EXPECT_EQ(slotOf(&IniFile::ReadKeyIntValue), 5);
    EXPECT_EQ(slotOf(&IniFile::ReadKeyFloatValue), 6);
}

TEST(BasekitVirtualSlots, MemoryClasses) {
    EXPECT_EQ(slotOf(&MemoryManage::get_mem_len), 2);
    EXPECT_EQ(slotOf(&MemoryManage::get_mem_ptr), 3);
    EXPECT_EQ(slotOf(&MemoryManage::resize_mem), 4);
    EXPECT_EQ(slotOf(&MemoryManage::mem_set), 5);
    EXPECT_EQ(slotOf(&MakeBuffer::clear_buf), 6);
    EXPECT_EQ(slotOf(&MakeBuffer::add_buf), 7);
    EXPECT_EQ(slotOf(static_cast<void *(MakeBuffer::*)(uint64_t, uint64_t *)>(&MakeBuffer::get_buf)), 8);
    EXPECT_EQ(slotOf(static_cast<uint64_t (MakeBuffer::*)(uint64_t, void *)>(&MakeBuffer::get_buf)), 9);
    EXPECT_EQ(slotOf(&MakeBuffer::get_buf_num), 10);
}

TEST(BasekitVirtualSlots, SharedMemoryClasses) {
    EXPECT_EQ(slotOf(&ShareMemory::GetShmPtr), 2);
    EXPECT_EQ(slotOf(&ShareMemory::CheckShareMemory), 3);
    EXPECT_EQ(slotOf(&ShareMemory::CreateShareMemory), 4);
    EXPECT_EQ(slotOf(&ShareMemory::MapShareMemory), 5);
    EXPECT_EQ(slotOf(static_cast<int (ShareMemory::*)(void *)>(&ShareMemory::UnMapShareMemory)), 6);
    EXPECT_EQ(slotOf(static_cast<int (ShareMemory::*)()>(&ShareMemory::UnMapShareMemory)), 7);
    EXPECT_EQ(slotOf(&ShareMemory::FreeShareMemory), 8);
    EXPECT_EQ(slotOf(&ShareMemory::CreateAndMapShareMemory), 9);
    // The derived classes add no virtual operations of their own.
    EXPECT_EQ(slotOf(&ProcMan::CreateAndMapShareMemory), 9);
    EXPECT_EQ(slotOf(&LogInformation::CreateAndMapShareMemory), 9);
}
