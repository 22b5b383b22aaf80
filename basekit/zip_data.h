/*
 * LZW compression with a variable code width of 9 to 15 bits.
 *
 * A compressed buffer is the marker EB 90 EB 90 EB 90 EB 90 followed by the
 * code stream, most significant bit first, the last byte padded with zero
 * bits. Codes 256, 257 and 258 end the stream, widen the code by one bit and
 * restart the dictionary. The uncompressed length is not stored.
 *
 * One object serves one call at a time and owns the output of its last call:
 * the pointer handed out stays valid until the next call of the same kind or
 * the object's destruction.
 */
#ifndef BASEKIT_ZIP_DATA_H
#define BASEKIT_ZIP_DATA_H

#include <cstdint>
#include <vector>

#include "basekit/export.h"

class BASEKIT_API ZipData {
public:
    ZipData();
    ~ZipData();
    ZipData(const ZipData &) = delete;
    ZipData &operator=(const ZipData &) = delete;

    // 0 on success, -1 on failure. Inputs shorter than 256 bytes are refused.
    int CompressData(const unsigned char *input, int length, unsigned char **output, int *outLength);
    // 0 on success, -1 on failure. A stream that is truncated, uses a code
    // not yet defined or widens past 15 bits is refused, and the output of
    // the previous successful call stays as it was.
    int ExpandData(const unsigned char *input, int length, unsigned char **output, int *outLength);
    // 1 when the buffer starts with the marker. Any length of at least the
    // marker's 8 bytes is accepted.
    static int IsCompressData(const unsigned char *input, int length);

    static constexpr int kMinimumInput = 256;

private:
    struct Entry {
        uint16_t code;
        uint16_t parent;
        uint8_t byte;
        uint8_t spare;
    };

    // Codes back to the first free one and 9 bits; the compressor also
    // empties its table, the expander overwrites entries as it defines them.
    void startCodes();
    void startDictionary();
    unsigned findChild(unsigned parent, unsigned byte) const;
    bool expandInto(const unsigned char *input, int length, std::vector<unsigned char> &out);

    Entry *dictionary_ = nullptr;
    unsigned nextCode_ = 0;
    unsigned codeWidth_ = 0;
    unsigned maxCode_ = 0;
    std::vector<unsigned char> decodeStack_;
    std::vector<unsigned char> compressOut_;
    std::vector<unsigned char> expandOut_;
    std::vector<unsigned char> expandScratch_;
};

#endif
