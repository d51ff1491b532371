// Linked into every program of a ThreadSanitizer build.

// The system libraries (Qt, GLib, D-Bus, fontconfig, CUPS, libcurl, and the
// HTTP server library of the stand-in relay) are not built with the
// sanitizer: it sees their own locks and atomics only in part and reports
// races inside them that are not there. Races in our code are
// still reported unless a system library's frame is on the reported stack.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "race:libQt6DBus.so\n"
           "race:libQt6Network.so\n"
           "race:libglib-2.0.so\n"
           "race:libdbus-1.so\n"
           "race:libfontconfig.so\n"
           "race:libcups.so\n"
           "race:libcurl.so\n"
           "race:libcpp-httplib.so\n";
}

// QProcess starts a child that shares the parent's memory until it execs;
// the sanitizer's note that a multi-threaded process forked then lands on
// the parent, which would die at its next new thread.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
