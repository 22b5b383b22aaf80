// The precompiled test prelude needs one translation unit to be built from.
