// Takes the input as a whole MP4 file: walks its top-level boxes and parses
// every movie box, checking that each sample the parser places lies within
// the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"
#include "vqSDK/QnMp4Helper/mp4_movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    qn_mp4::BoxWalker top(data, size);
    qn_mp4::BoxView box;
    while (top.Next(box)) {
        if (box.type != qn_mp4::FourCC("moov")) continue;
        qn_mp4::MovieInfo movie;
        if (!qn_mp4::ParseMovie(box.body, box.bodySize, size, movie)) continue;
        for (const qn_mp4::TrackInfo& track : movie.tracks) {
            for (const qn_mp4::SampleRef& sample : track.samples) {
                if (sample.offset > size || sample.size > size - sample.offset) std::abort();
            }
            (void)track.FirstSyncSample();
            (void)track.SampleTime();
        }
    }
    return 0;
}
