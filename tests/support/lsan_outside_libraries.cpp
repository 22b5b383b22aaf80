// Leak reports that belong to outside libraries, not to us: Qt keeps plugin
// and audio-engine objects for the life of the process and PulseAudio's client
// library keeps its context. Linked into the tests that use them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt5Core.so\n"
           "leak:libQt5Multimedia.so\n"
           "leak:libqtmedia_pulse.so\n"
           "leak:libpulse.so\n"
           "leak:libpulsecommon\n";
}
