// The program's own versions of the library's throw helpers (the
// functions its containers, strings and number conversions call on a bad
// index, a length past max_size() or text that is no number). The library's
// own ones build std::logic_error and std::runtime_error with their messages,
// and those classes keep the message in the old reference-counted string,
// whose code (some 50 KB with the exception classes) would otherwise be
// linked in for nothing: every handler in the program is catch (...), none
// reads a type or a message. These throw a std::exception without a message
// instead; allocation and cast failures keep their own types, which cost
// nothing. The linker takes these definitions instead of the library's;
// the program is linked with them in both builds, the tests' own
// executables are not (CMakeLists.txt).
#include <bits/functexcept.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace {

struct LibraryError : std::exception {};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }

void __throw_logic_error(const char*) { throw LibraryError(); }
void __throw_domain_error(const char*) { throw LibraryError(); }
void __throw_invalid_argument(const char*) { throw LibraryError(); }
void __throw_length_error(const char*) { throw LibraryError(); }
void __throw_out_of_range(const char*) { throw LibraryError(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryError(); }
void __throw_runtime_error(const char*) { throw LibraryError(); }
void __throw_range_error(const char*) { throw LibraryError(); }
void __throw_overflow_error(const char*) { throw LibraryError(); }
void __throw_underflow_error(const char*) { throw LibraryError(); }

}  // namespace std
