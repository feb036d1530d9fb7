# The player as a web page: the same sound, platform, framework, controls and app code
# compiled to WebAssembly with Emscripten, over the web drivers. Configured with
# `emcmake cmake -DMARROWTONE_WEB=ON`; the page lands in site/ of the build tree.

# The framework keeps a window procedure's exception and rethrows it from the message loop:
# exceptions are caught in the page as on the desktop.
add_compile_options(-fexceptions -Os "SHELL:-include ${PROJECT_SOURCE_DIR}/web/libcxx_compat.h")
add_link_options(-fexceptions -Os)

# The page runs the program on one thread: no shared memory, so any web server can serve
# it. The C library's thread functions are there (as stubs) without any flag.
set(CMAKE_HAVE_LIBC_PTHREAD 1 CACHE INTERNAL "")

add_subdirectory(sound)
add_subdirectory(platform)
add_subdirectory(framework)
add_subdirectory(controls)
add_subdirectory(app)
add_subdirectory(tools)
# The desktop program's entry installs no web driver: only the page's entry is built.
set_target_properties(marrowtone PROPERTIES EXCLUDE_FROM_ALL ON)
add_subdirectory(web)
