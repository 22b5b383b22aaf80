#include "vqSDK/QnMp4Helper/mp4_boxes.h"

#include <cstring>
#include <iterator>

namespace qn_mp4 {
namespace {

void WriteMatrix(BoxBuilder& out)
{
    const uint32_t identity[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t value : identity) out.U32(value);
}

// Descriptor tags of ISO 14496-1.
constexpr uint8_t kInitialObjectDescriptorTag = 0x10;
constexpr uint8_t kEsDescriptorTag = 0x03;
constexpr uint8_t kDecoderConfigTag = 0x04;
constexpr uint8_t kDecoderSpecificInfoTag = 0x05;
constexpr uint8_t kSyncLayerConfigTag = 0x06;

constexpr uint32_t kSamplingFrequencies[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                             22050, 16000, 12000, 11025, 8000,  7350};

// Starts a box that holds creation and modification time and, after a few
// more fields, a duration: all 32-bit in version 0, 64-bit in version 1.
std::size_t BeginTimedBox(BoxBuilder& out, uint32_t type, uint32_t flags, uint32_t creationTime, uint64_t duration)
{
    bool wide = duration > UINT32_MAX;
    std::size_t mark = out.BeginFullBox(type, wide ? 1 : 0, flags);
    if (wide) {
        out.U64(creationTime);
        out.U64(creationTime);
    } else {
        out.U32(creationTime);
        out.U32(creationTime);
    }
    return mark;
}

void WriteDuration(BoxBuilder& out, uint64_t duration)
{
    if (duration > UINT32_MAX) {
        out.U64(duration);
    } else {
        out.U32(uint32_t(duration));
    }
}

} // namespace

void WriteFileType(BoxBuilder& out, const FileTypeBox& box)
{
    std::size_t mark = out.BeginBox(FourCC("ftyp"));
    out.U32(box.majorBrand);
    out.U32(box.minorVersion);
    for (uint32_t brand : box.compatibleBrands) out.U32(brand);
    out.EndBox(mark);
}

void WriteMovieHeader(BoxBuilder& out, const MovieHeaderBox& box)
{
    std::size_t mark = BeginTimedBox(out, FourCC("mvhd"), 0, box.creationTime, box.duration);
    out.U32(box.timeScale);
    WriteDuration(out, box.duration);
    out.U32(0x00010000); // rate 1.0
    out.U16(0x0100);     // volume 1.0
    out.Zeros(10);
    WriteMatrix(out);
    out.Zeros(24);
    out.U32(box.nextTrackId);
    out.EndBox(mark);
}

void WriteObjectDescriptor(BoxBuilder& out, const ObjectProfiles& profiles)
{
    std::size_t mark = out.BeginFullBox(FourCC("iods"), 0, 0);
    BoxBuilder body;
    body.U16(0x004F); // object descriptor id 1, no URL, no inline profiles, reserved bits
    body.U8(0xFF);    // OD profile level
    body.U8(0xFF);    // scene profile level
    body.U8(profiles.audioProfileLevel);
    body.U8(profiles.videoProfileLevel);
    body.U8(0xFF); // graphics profile level
    out.Descriptor(kInitialObjectDescriptorTag, body);
    out.EndBox(mark);
}

void WriteTrackHeader(BoxBuilder& out, const TrackHeaderBox& box)
{
    std::size_t mark = BeginTimedBox(out, FourCC("tkhd"), box.flags, box.creationTime, box.duration);
    out.U32(box.trackId);
    out.U32(0);
    WriteDuration(out, box.duration);
    out.Zeros(8);
    out.U16(0); // layer
    out.U16(0); // alternate group
    out.U16(box.volume);
    out.U16(0);
    WriteMatrix(out);
    out.U32(box.width);
    out.U32(box.height);
    out.EndBox(mark);
}

void WriteMediaHeader(BoxBuilder& out, const MediaHeaderBox& box)
{
    std::size_t mark = BeginTimedBox(out, FourCC("mdhd"), 0, box.creationTime, box.duration);
    out.U32(box.timeScale);
    WriteDuration(out, box.duration);
    out.U16(box.language);
    out.U16(0);
    out.EndBox(mark);
}

void WriteHandler(BoxBuilder& out, uint32_t handler, const char* name)
{
    std::size_t mark = out.BeginFullBox(FourCC("hdlr"), 0, 0);
    out.U32(0);
    out.U32(handler);
    out.Zeros(12);
    if (name != nullptr) out.Bytes(reinterpret_cast<const uint8_t*>(name), std::strlen(name));
    out.U8(0);
    out.EndBox(mark);
}

void WriteVideoMediaHeader(BoxBuilder& out)
{
    std::size_t mark = out.BeginFullBox(FourCC("vmhd"), 0, 1);
    out.Zeros(8); // graphics mode, colour
    out.EndBox(mark);
}

void WriteSoundMediaHeader(BoxBuilder& out)
{
    std::size_t mark = out.BeginFullBox(FourCC("smhd"), 0, 0);
    out.Zeros(4); // balance, reserved
    out.EndBox(mark);
}

void WriteDataInformation(BoxBuilder& out)
{
    std::size_t dinf = out.BeginBox(FourCC("dinf"));
    std::size_t dref = out.BeginFullBox(FourCC("dref"), 0, 0);
    out.U32(1);
    std::size_t url = out.BeginFullBox(FourCC("url "), 0, 1);
    out.EndBox(url);
    out.EndBox(dref);
    out.EndBox(dinf);
}

void WriteAvcSampleDescription(BoxBuilder& out, const AvcSampleEntry& entry)
{
    std::size_t stsd = out.BeginFullBox(FourCC("stsd"), 0, 0);
    out.U32(1);
    std::size_t avc1 = out.BeginBox(FourCC("avc1"));
    out.Zeros(6);
    out.U16(1); // data reference index
    out.Zeros(16);
    out.U16(entry.width);
    out.U16(entry.height);
    out.U32(0x00480000); // 72 dpi
    out.U32(0x00480000);
    out.U32(0);
    out.U16(1); // frames per sample
    out.Zeros(32);
    out.U16(0x0018);
    out.U16(0xFFFF);

    std::size_t avcc = out.BeginBox(FourCC("avcC"));
    const std::vector<uint8_t>* sps =
        entry.sequenceParameterSets.empty() ? nullptr : &entry.sequenceParameterSets.front();
    out.U8(1);
    for (std::size_t i = 1; i <= 3; ++i) out.U8(sps != nullptr && sps->size() > i ? (*sps)[i] : 0);
    uint8_t lengthSize = entry.nalLengthSize;
    if (lengthSize != 1 && lengthSize != 2) lengthSize = 4;
    out.U8(uint8_t(0xFC | (lengthSize - 1)));
    out.U8(uint8_t(0xE0 | (entry.sequenceParameterSets.size() & 0x1F)));
    for (std::size_t i = 0; i < entry.sequenceParameterSets.size() && i < 31; ++i) {
        const auto& set = entry.sequenceParameterSets[i];
        out.U16(uint16_t(set.size()));
        out.Bytes(set.data(), set.size() & 0xFFFF);
    }
    out.U8(uint8_t(entry.pictureParameterSets.size()));
    for (std::size_t i = 0; i < entry.pictureParameterSets.size() && i < 255; ++i) {
        const auto& set = entry.pictureParameterSets[i];
        out.U16(uint16_t(set.size()));
        out.Bytes(set.data(), set.size() & 0xFFFF);
    }
    out.EndBox(avcc);
    out.EndBox(avc1);
    out.EndBox(stsd);
}

void WriteAacSampleDescription(BoxBuilder& out, const AacSampleEntry& entry)
{
    std::size_t stsd = out.BeginFullBox(FourCC("stsd"), 0, 0);
    out.U32(1);
    std::size_t mp4a = out.BeginBox(FourCC("mp4a"));
    out.Zeros(6);
    out.U16(1); // data reference index
    out.Zeros(8);
    out.U16(entry.channelCount);
    out.U16(entry.sampleSize);
    out.U16(0);
    out.U16(0);
    out.U32(uint32_t(entry.sampleRate) << 16);

    std::size_t esds = out.BeginFullBox(FourCC("esds"), 0, 0);
    BoxBuilder specific;
    specific.Bytes(entry.decoderSpecificInfo);
    BoxBuilder config;
    config.U8(entry.objectType);
    config.U8(entry.streamType);
    config.U24(entry.bufferSize);
    config.U32(entry.maxBitrate);
    config.U32(entry.averageBitrate);
    if (!entry.decoderSpecificInfo.empty()) config.Descriptor(kDecoderSpecificInfoTag, specific);
    BoxBuilder syncLayer;
    syncLayer.U8(2); // predefined: MP4 files
    BoxBuilder stream;
    stream.U16(entry.esId);
    stream.U8(0); // no dependence, URL or OCR stream; priority 0
    stream.Descriptor(kDecoderConfigTag, config);
    stream.Descriptor(kSyncLayerConfigTag, syncLayer);
    out.Descriptor(kEsDescriptorTag, stream);
    out.EndBox(esds);
    out.EndBox(mp4a);
    out.EndBox(stsd);
}

int SamplingFrequencyIndex(uint32_t sampleRate)
{
    for (int i = 0; i < int(std::size(kSamplingFrequencies)); ++i) {
        if (kSamplingFrequencies[i] == sampleRate) return i;
    }
    return -1;
}

uint32_t SamplingFrequency(int index)
{
    return index >= 0 && index < int(std::size(kSamplingFrequencies)) ? kSamplingFrequencies[index] : 0;
}

std::vector<uint8_t> AudioSpecificConfig(uint8_t objectType, uint32_t sampleRate, uint8_t channels)
{
    int index = SamplingFrequencyIndex(sampleRate);
    uint32_t bits =
        uint32_t(objectType & 0x1F) << 11 | uint32_t(index < 0 ? 15 : index) << 7 | uint32_t(channels & 0x0F) << 3;
    return {uint8_t(bits >> 8), uint8_t(bits)};
}

void WriteTimeToSample(BoxBuilder& out, const std::vector<TimeRun>& runs)
{
    std::size_t mark = out.BeginFullBox(FourCC("stts"), 0, 0);
    out.U32(uint32_t(runs.size()));
    for (const TimeRun& run : runs) {
        out.U32(run.count);
        out.U32(run.delta);
    }
    out.EndBox(mark);
}

void WriteSyncSamples(BoxBuilder& out, const std::vector<uint32_t>& sampleNumbers)
{
    std::size_t mark = out.BeginFullBox(FourCC("stss"), 0, 0);
    out.U32(uint32_t(sampleNumbers.size()));
    for (uint32_t number : sampleNumbers) out.U32(number);
    out.EndBox(mark);
}

void WriteSampleToChunk(BoxBuilder& out, const std::vector<ChunkRun>& runs)
{
    std::size_t mark = out.BeginFullBox(FourCC("stsc"), 0, 0);
    out.U32(uint32_t(runs.size()));
    for (const ChunkRun& run : runs) {
        out.U32(run.firstChunk);
        out.U32(run.samplesPerChunk);
        out.U32(run.descriptionIndex);
    }
    out.EndBox(mark);
}

void WriteSampleSizes(BoxBuilder& out, const std::vector<uint32_t>& sizes)
{
    std::size_t mark = out.BeginFullBox(FourCC("stsz"), 0, 0);
    out.U32(0); // sizes differ: one per sample
    out.U32(uint32_t(sizes.size()));
    for (uint32_t size : sizes) out.U32(size);
    out.EndBox(mark);
}

void WriteChunkOffsets(BoxBuilder& out, const std::vector<uint64_t>& offsets)
{
    bool wide = false;
    for (uint64_t offset : offsets) wide = wide || offset > UINT32_MAX;
    std::size_t mark = out.BeginFullBox(wide ? FourCC("co64") : FourCC("stco"), 0, 0);
    out.U32(uint32_t(offsets.size()));
    for (uint64_t offset : offsets) {
        if (wide) {
            out.U64(offset);
        } else {
            out.U32(uint32_t(offset));
        }
    }
    out.EndBox(mark);
}

} // namespace qn_mp4
