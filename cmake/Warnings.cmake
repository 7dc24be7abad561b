# Warnings are errors in everything we compile ourselves.
add_library(auralis_options INTERFACE)
target_compile_options(auralis_options INTERFACE -Wall -Wextra -Werror -Wno-missing-field-initializers)
target_include_directories(auralis_options INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
