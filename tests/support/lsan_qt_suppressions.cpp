// Memory that Qt and the libraries it loads (fontconfig, Mesa, the session bus
// library of its X11 platform) keep until exit on purpose; nothing of ours is
// named here.
// Visible, so that the sanitizer runtime finds it in place of its own empty list.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libQt5\n"
           "leak:/qt5/plugins/\n"
           "leak:libfontconfig\n"
           "leak:libdbus-1\n"
           "leak:libGLX_mesa\n"
           "leak:libEGL_mesa\n"
           "leak:swrast_dri\n";
}
