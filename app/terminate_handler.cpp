// std::terminate would otherwise print a demangled type name to a console this windowed
// program does not have; the demangler and the printf it needs are a fifth of the program.
// Errors reach the user through the windowing layer's error box long before this point.
#include <cstdlib>

// Replaces libstdc++'s own handler of this name, so the reserved name is the point.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }  // NOLINT(bugprone-reserved-identifier)
}  // namespace __gnu_cxx
