// Recording through both model tables: start, frames and stop go to the MP4
// coder, and a key frame of another picture size ends the recording through
// the model's record-end hook.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "streams/stream_fixture.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

template <typename Function>
Function Entry(void* table, int position)
{
    return reinterpret_cast<Function>(static_cast<void**>(table)[position]);
}

// The NAL units of an Annex B stream with 4-byte start codes.
std::vector<std::vector<uint8_t>> Units(const std::vector<uint8_t>& stream)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 4 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) starts.push_back(i);
    }
    std::vector<std::vector<uint8_t>> units;
    for (std::size_t n = 0; n < starts.size(); ++n) {
        const std::size_t end = n + 1 < starts.size() ? starts[n + 1] : stream.size();
        units.emplace_back(stream.begin() + starts[n], stream.begin() + end);
    }
    return units;
}

struct Ended {
    int calls = 0;
    int32_t code = -1, detail = -1, value = -1;
    void* owner = nullptr;
    static void On(int32_t code, int32_t detail, void* owner, int32_t value)
    {
        auto* self = static_cast<Ended*>(owner);
        ++self->calls;
        self->code = code;
        self->detail = detail;
        self->owner = owner;
        self->value = value;
    }
};

struct ModelEntries {
    const char* model;
    int user;
    int recordControl;
    int writeFrame;
    int setRecordEnd;
};

TEST(HubRecord, BothModelsRecordAndTheirEndHookFiresWhenThePictureChanges)
{
    testing_support::TempFolder folder;
    const std::string stream = streams_test::MakeStream(
        folder.Path(), "rec", "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 3 -pix_fmt yuv420p -c:v libx264 "
                              "-preset ultrafast -g 25 -bf 0");
    ASSERT_FALSE(stream.empty()) << "ffmpeg could not make the test stream";
    const auto units = Units(streams_test::ReadFile(stream));

    VLR_SYSTEM hub;
    for (const char* step : {"data_base", "init_netsdk"}) ASSERT_EQ(hub.Init(step, "127.0.0.1"), 1);
    const ModelEntries models[] = {{"realplay", 1, 39, 40, 41}, {"ipc_rcd", 2, 8, 9, 11}};
    for (const ModelEntries& m : models) {
        SCOPED_TRACE(m.model);
        void* table = hub.GetSourcePack(m.model);
        ASSERT_NE(table, nullptr);
        const auto recordControl = Entry<VLR_MODEL_RECORD_CONTROL>(table, m.recordControl);
        const auto writeFrame = Entry<VLR_MODEL_WRITE_FRAME>(table, m.writeFrame);
        const auto setRecordEnd = Entry<VLR_MODEL_SET_RECORD_END>(table, m.setRecordEnd);
        const int other = 3 - m.user;
        Ended ended;
        EXPECT_EQ(setRecordEnd(other, &Ended::On, &ended, 7), 0) << "another module's id";
        ASSERT_EQ(setRecordEnd(m.user, &Ended::On, &ended, 7), 1);
        const std::string file = folder.Path() + "/" + m.model + ".mp4";
        EXPECT_EQ(recordControl(other, file.c_str(), 1, nullptr), 0);
        ASSERT_EQ(recordControl(m.user, file.c_str(), 1, nullptr), 1);

        // The first picture's units as the play module hands them over, the
        // key frame at 320 x 240 and 25 a second.
        uint32_t number = 0;
        const auto write = [&](const std::vector<uint8_t>& unit, uint16_t width, uint16_t height) {
            const int nal = unit[4] & 0x1F;
            const uint32_t type = nal == 7 ? 4 : nal == 8 ? 5 : nal == 6 ? 6 : nal == 5 ? VLR_RECORD_KEY_MARK : 0;
            const VLR_RECORD_FRAME frame{type, 25, number++, static_cast<uint32_t>(unit.size()), unit.data(), width,
                                         height};
            return writeFrame(m.user, &frame);
        };
        for (const auto& unit : units) {
            EXPECT_EQ(write(unit, 320, 240), 1);
            EXPECT_EQ(ended.calls, 0);
        }
        // The same key frame said to be 640 x 480: the recording cannot go on.
        for (const auto& unit : units) {
            if ((unit[4] & 0x1F) == 5) {
                write(unit, 640, 480);
                break;
            }
        }
        EXPECT_EQ(ended.calls, 1);
        EXPECT_EQ(ended.code, 1);
        EXPECT_EQ(ended.detail, 0);
        EXPECT_EQ(ended.owner, &ended);
        EXPECT_EQ(ended.value, 7);
        int64_t stopped = -5;
        EXPECT_EQ(recordControl(m.user, nullptr, 0, &stopped), 1);
        EXPECT_NE(stopped, -5) << "the stop's result was not handed back";
    }
    hub.Init("clean_up", nullptr);
}

} // namespace
