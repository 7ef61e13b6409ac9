# Settings shared by every Windows target: Unicode APIs, a static runtime, no timestamps.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(-static -Wl,--no-insert-timestamp)
