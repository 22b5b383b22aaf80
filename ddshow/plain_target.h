// The size the plain family reduces a picture to before showing it: full,
// half or quarter of the record's size, whichever is the largest whose half
// still fits the window, and the reduction factors that pick the converter.
#ifndef OSTRELS_DDSHOW_PLAIN_TARGET_H
#define OSTRELS_DDSHOW_PLAIN_TARGET_H

namespace ostrels::ddshow {

struct PlainTarget {
    int width = 0, height = 0;
    int horizontal = 0, vertical = 0; // picture size / target size; 3 for three quarters
};

PlainTarget plainTargetFor(int recordWidth, int recordHeight, int pictureWidth, int pictureHeight, int windowWidth,
                           int windowHeight);

} // namespace ostrels::ddshow

#endif
