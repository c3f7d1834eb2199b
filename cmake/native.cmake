# The Linux side: unit tests of the pure logic, the fuzz targets, the artwork
# generator, and the registration of every test layer with CTest.
enable_testing()
find_package(GTest REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Out-of-bounds reads and undefined arithmetic in the parsers stay silent in
# a plain build; under the sanitizers every unit test and fuzz run stops on them.
option(LOADER_SANITIZE "Build the native code with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(LOADER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

add_library(loader_pure STATIC ${LOADER_PURE_SOURCES})
target_include_directories(loader_pure PUBLIC src)
target_compile_options(loader_pure PRIVATE ${PROJECT_WARNINGS})

add_subdirectory(tests/unit)
add_subdirectory(tests/e2e)

# Code health: fails on a file clang-format would change (make format
# rewrites it) and on any clang-tidy finding in src/.
add_test(NAME format COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/format.sh --check)
add_test(NAME tidy COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/tidy.sh)
set_tests_properties(format tidy PROPERTIES LABELS "lint" TIMEOUT 600)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_subdirectory(tests/fuzz)
endif()

# The install script covers every outside program the project runs.
add_test(NAME deps COMMAND ${Python3_EXECUTABLE} -m unittest -v test_deps
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/deps)
# The guide's winget and Ansible recipes as those tools read them.
add_test(NAME recipes COMMAND ${Python3_EXECUTABLE} -m unittest -v test_recipes
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/deps)
set_tests_properties(recipes PROPERTIES LABELS "guide" TIMEOUT 600)
# Every include in src/ runs downward through the folders.
add_test(NAME layers COMMAND ${Python3_EXECUTABLE} -m unittest -v test_layers
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/deps)
