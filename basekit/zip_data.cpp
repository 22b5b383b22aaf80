#include "basekit/zip_data.h"

#include <cstring>
#include <new>

#include "basekit/system_functions.h"

namespace {

constexpr unsigned char kMarker[8] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
constexpr unsigned kEndCode = 256;
constexpr unsigned kBumpCode = 257;
constexpr unsigned kFlushCode = 258;
constexpr unsigned kFirstFreeCode = 259;
constexpr unsigned kMaxCode = 32767;
constexpr unsigned kStartWidth = 9;
constexpr unsigned kMaxWidth = 15;
constexpr unsigned kTableSize = 35023;
constexpr uint16_t kEmpty = 0xFFFF;
constexpr size_t kCompressStep = 4096;
constexpr size_t kExpandStep = 5120;

// The buffers grow in whole steps; an exact multiple still gains one step.
size_t roundUpToStep(size_t amount, size_t step) { return (amount / step + 1) * step; }

// Codes go out most significant bit first into a byte "rack" that is stored
// once all eight of its bits are placed.
class BitWriter {
public:
    BitWriter(std::vector<unsigned char> &out, size_t used, size_t growth) : out_(out), used_(used), growth_(growth) {}

    void put(unsigned code, unsigned width) {
        for (unsigned bit = 1u << (width - 1); bit != 0; bit >>= 1) {
            if (code & bit)
                rack_ |= mask_;
            mask_ >>= 1;
            if (mask_ == 0)
                storeRack();
        }
    }

    // A rack holding some bits is stored with its low bits zero.
    size_t finish() {
        if (mask_ != 0x80)
            storeRack();
        return used_;
    }

private:
    void storeRack() {
        if (used_ == out_.size())
            out_.resize(out_.size() + growth_, 0);
        out_[used_++] = rack_;
        rack_ = 0;
        mask_ = 0x80;
    }

    std::vector<unsigned char> &out_;
    size_t used_;
    size_t growth_;
    unsigned char rack_ = 0;
    unsigned char mask_ = 0x80;
};

// Reading stops cleanly at the end of the input instead of running past it.
class BitReader {
public:
    BitReader(const unsigned char *data, size_t length) : data_(data), length_(length) {}

    bool get(unsigned width, unsigned &code) {
        code = 0;
        for (unsigned i = 0; i < width; ++i) {
            if (mask_ == 0x80) {
                if (cursor_ == length_)
                    return false;
                rack_ = data_[cursor_++];
            }
            code = (code << 1) | ((rack_ & mask_) ? 1u : 0u);
            mask_ >>= 1;
            if (mask_ == 0)
                mask_ = 0x80;
        }
        return true;
    }

private:
    const unsigned char *data_;
    size_t length_;
    size_t cursor_ = 0;
    unsigned char rack_ = 0;
    unsigned char mask_ = 0x80;
};

}  // namespace

ZipData::ZipData() : dictionary_(new (std::nothrow) Entry[kTableSize]) {}

ZipData::~ZipData() { delete[] dictionary_; }

int ZipData::IsCompressData(const unsigned char *input, int length) {
    if (input == nullptr || length < static_cast<int>(sizeof kMarker))
        return 0;
    return std::memcmp(input, kMarker, sizeof kMarker) == 0 ? 1 : 0;
}

void ZipData::startDictionary() {
    for (unsigned i = 0; i < kTableSize; ++i)
        dictionary_[i].code = kEmpty;
    startCodes();
}

void ZipData::startCodes() {
    nextCode_ = kFirstFreeCode;
    codeWidth_ = kStartWidth;
    maxCode_ = (1u << kStartWidth) - 1;
}

unsigned ZipData::findChild(unsigned parent, unsigned byte) const {
    int index = static_cast<uint16_t>((byte << 7) ^ parent);
    const int step = index == 0 ? 1 : static_cast<int>(kTableSize) - index;
    for (;;) {
        const Entry &entry = dictionary_[index];
        if (entry.code == kEmpty || (entry.parent == parent && entry.byte == byte))
            return static_cast<unsigned>(index);
        index -= step;
        if (index < 0)
            index += kTableSize;
    }
}

int ZipData::CompressData(const unsigned char *input, int length, unsigned char **output, int *outLength) {
    if (input == nullptr || output == nullptr || outLength == nullptr || length < kMinimumInput)
        return -1;
    if (dictionary_ == nullptr) {
        LastErrDisp("InitializeCompress :");
        return -1;
    }
    const size_t growth = roundUpToStep(static_cast<size_t>(length) / 16, kCompressStep);
    try {
        compressOut_.assign(growth, 0);
        BitWriter writer(compressOut_, sizeof kMarker, growth);
        startDictionary();
        unsigned current = input[0];
        for (int i = 1; i < length; ++i) {
            const unsigned byte = input[i];
            Entry &entry = dictionary_[findChild(current, byte)];
            if (entry.code != kEmpty) {
                current = entry.code;
                continue;
            }
            entry.code = static_cast<uint16_t>(nextCode_++);
            entry.parent = static_cast<uint16_t>(current);
            entry.byte = static_cast<uint8_t>(byte);
            writer.put(current, codeWidth_);
            current = byte;
            if (nextCode_ > kMaxCode) {
                writer.put(kFlushCode, codeWidth_);
                startDictionary();
            } else if (nextCode_ > maxCode_) {
                writer.put(kBumpCode, codeWidth_);
                ++codeWidth_;
                maxCode_ = maxCode_ * 2 + 1;
            }
        }
        writer.put(current, codeWidth_);
        writer.put(kEndCode, codeWidth_);
        const size_t used = writer.finish();
        std::memcpy(compressOut_.data(), kMarker, sizeof kMarker);
        *output = compressOut_.data();
        *outLength = static_cast<int>(used);
        return 0;
    } catch (const std::bad_alloc &) {
        compressOut_.clear();
        LastErrDisp("ziprealloc_bitoutstream :");
        return -1;
    }
}

bool ZipData::expandInto(const unsigned char *input, int length, std::vector<unsigned char> &out) {
    const size_t streamLength = static_cast<size_t>(length) - sizeof kMarker;
    const size_t growth = roundUpToStep(streamLength, kExpandStep);
    out.assign(growth, 0);
    size_t produced = 0;
    auto emit = [&](const unsigned char *bytes, size_t count) {
        if (out.size() - produced < count)
            out.resize(out.size() + ((count - (out.size() - produced)) / growth + 1) * growth, 0);
        std::memcpy(out.data() + produced, bytes, count);
        produced += count;
    };

    BitReader reader(input + sizeof kMarker, streamLength);
    decodeStack_.resize(kMaxCode + 1);
    for (;;) {
        // A fresh dictionary: the first code is a plain byte or the end.
        startCodes();
        unsigned old = 0;
        if (!reader.get(codeWidth_, old))
            return false;
        if (old == kEndCode)
            break;
        if (old > 0xFF)
            return false;
        unsigned char lastFirst = static_cast<unsigned char>(old);
        emit(&lastFirst, 1);

        bool flushed = false;
        while (!flushed) {
            unsigned code = 0;
            if (!reader.get(codeWidth_, code))
                return false;
            if (code == kEndCode) {
                out.resize(produced);
                return true;
            }
            if (code == kFlushCode) {
                flushed = true;
                continue;
            }
            if (code == kBumpCode) {
                if (codeWidth_ == kMaxWidth)
                    return false;
                ++codeWidth_;
                continue;
            }
            // A code may be at most the one about to be defined, and only a
            // flush may follow once the last code is taken.
            if (code > nextCode_ || nextCode_ > kMaxCode)
                return false;

            size_t depth = 0;
            unsigned walk = code;
            if (code == nextCode_) {
                decodeStack_[depth++] = lastFirst;
                walk = old;
            }
            while (walk > 0xFF) {
                decodeStack_[depth++] = dictionary_[walk].byte;
                walk = dictionary_[walk].parent;
            }
            decodeStack_[depth++] = static_cast<unsigned char>(walk);
            lastFirst = static_cast<unsigned char>(walk);
            for (size_t i = 0; i < depth / 2; ++i)
                std::swap(decodeStack_[i], decodeStack_[depth - 1 - i]);
            emit(decodeStack_.data(), depth);

            Entry &entry = dictionary_[nextCode_++];
            entry.parent = static_cast<uint16_t>(old);
            entry.byte = lastFirst;
            old = code;
        }
    }
    out.resize(produced);
    return true;
}

int ZipData::ExpandData(const unsigned char *input, int length, unsigned char **output, int *outLength) {
    if (input == nullptr || output == nullptr || outLength == nullptr || length <= static_cast<int>(sizeof kMarker) ||
        !IsCompressData(input, length))
        return -1;
    if (dictionary_ == nullptr) {
        LastErrDisp("InitializeExpand :");
        return -1;
    }
    try {
        if (!expandInto(input, length, expandScratch_))
            return -1;
    } catch (const std::bad_alloc &) {
        expandScratch_.clear();
        LastErrDisp("ziprealloc_output :");
        return -1;
    }
    expandOut_.swap(expandScratch_);
    *output = expandOut_.data();
    *outLength = static_cast<int>(expandOut_.size());
    return 0;
}
