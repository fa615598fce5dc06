// The code of std::string and std::wstring, instantiated here instead of
// taken from the C++ library. The library holds each as one object with every
// member, which the linker cannot split (about 35 KB each in the release
// program); made here, link-time optimisation keeps only the members the
// program calls.
#include <string>

template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
