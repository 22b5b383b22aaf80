// Bit positions of the engine's flag word and progress word. Hosts and tests
// read the words, so the positions are fixed.
#ifndef OSTRELS_PTZLINK_ENGINE_FLAGS_H
#define OSTRELS_PTZLINK_ENGINE_FLAGS_H

#include "bit_word.h"

namespace qnpl::flag {

inline constexpr int kRunning = 0;
inline constexpr int kStopRequested = 1;
inline constexpr int kCreated = 2;
inline constexpr int kReadyForInput = 3;
inline constexpr int kPictureWaiting = 4;
inline constexpr BitField kPanStep{5, 6};      // whole degrees
inline constexpr BitField kTiltStep{11, 6};    // whole degrees
inline constexpr BitField kViewAngle{17, 11};  // tenths of a degree
inline constexpr BitField kRows{31, 3};
inline constexpr BitField kColumns{37, 6};
inline constexpr int kProjectionFinished = 43;
inline constexpr int kUnionFinished = 44;
inline constexpr int kTrustPan = 45;
inline constexpr int kTrustTilt = 46;
inline constexpr BitField kTiltInterval{47, 6};  // whole degrees; 0 = derived
inline constexpr int kTiltDown = 53;
inline constexpr int kLastErrorEnlarge = 54;
inline constexpr int kStartErrorEnlarge = 55;
inline constexpr BitField kPyramidLevels{56, 3};
inline constexpr BitField kPyramidFirstLevel{59, 3};
inline constexpr int kHighDynamic = 62;
inline constexpr int kHighDynamicFull = 63;  // set by "y", not by "h"

}  // namespace qnpl::flag

namespace qnpl::progress {

inline constexpr BitField kPicturesTaken{0, 8};
inline constexpr BitField kPositionsHandedOut{8, 8};
inline constexpr BitField kMatchProgress{16, 8};
inline constexpr int kPhaseA = 24;
inline constexpr int kUnionMatching = 25;  // clear: balance colours; set: match
inline constexpr BitField kPanOverlap{26, 6};
inline constexpr BitField kMatchField{32, 6};
inline constexpr int kMatchBit = 38;
inline constexpr BitField kPixelMoveRegis{45, 3};
inline constexpr BitField kLeadInPoint{48, 4};

}  // namespace qnpl::progress

#endif
