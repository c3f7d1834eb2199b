# The Linux side: unit tests of the pure logic, the artwork generator, and
# the registration of every test layer with CTest.
enable_testing()
find_package(GTest REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_library(loader_pure STATIC ${LOADER_PURE_SOURCES})
target_include_directories(loader_pure PUBLIC src)
target_compile_options(loader_pure PRIVATE -Wall -Wextra)

add_subdirectory(tests/unit)
add_subdirectory(tests/e2e)

# The install script covers every outside program the project runs.
add_test(NAME deps COMMAND ${Python3_EXECUTABLE} -m unittest -v test_deps
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/deps)
