// The release program's default terminate handler. The library's own one
// writes the type of the uncaught exception to standard error, which a GUI
// program started from the shell does not have, and then aborts; for the
// type's readable name it carries the C++ name demangler, some 50 KB of the
// program. This one aborts at once, as the library's does after its report.
// The linker takes this definition instead of the library's; only the release
// program is linked with it (CMakeLists.txt).
#include <cstdlib>
#include <exception>

void __gnu_cxx::__verbose_terminate_handler() {
    std::abort();
}
