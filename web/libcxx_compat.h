// What the C++ library of Debian's Emscripten (3.1.x, libc++ 14) lacks of C++20 and the
// program uses, included before every source of the web build. A newer library has it all
// and this adds nothing.
#pragma once

#ifdef __cplusplus
#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {

template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}

template <class T>
requires(is_unbounded_array_v<T>) unique_ptr<T> make_unique_for_overwrite(size_t n) {
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}

} // namespace std
#endif
#endif
