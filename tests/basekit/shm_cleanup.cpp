// Removes the library's fixed shared-memory names when a test binary ends, so
// that no test leaves a lock byte or a ring behind for the next one.
#include <gtest/gtest.h>

#include "basekit/log_information.h"
#include "basekit/share_memory.h"
#include "platform/shared_memory.h"

namespace {

class FixedBlocksCleanup : public testing::Environment {
public:
    void TearDown() override {
        platform::SharedMemoryBlock::Remove("SHM" + std::to_string(LogInformation::kKey));
        platform::SharedMemoryBlock::Remove("SHM" + std::to_string(ProcMan::kKey));
    }
};

const testing::Environment *const kCleanup = testing::AddGlobalTestEnvironment(new FixedBlocksCleanup);

}  // namespace
