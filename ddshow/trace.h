// The library's one trace line: silent unless OSTRELS_TRACE=1, then stderr.
#ifndef OSTRELS_DDSHOW_TRACE_H
#define OSTRELS_DDSHOW_TRACE_H

namespace ostrels::ddshow {

void trace(const char* text);

} // namespace ostrels::ddshow

#endif
