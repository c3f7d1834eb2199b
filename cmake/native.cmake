# The Linux side: unit tests of the pure logic, the artwork generator, and
# the registration of every test layer with CTest.
enable_testing()
find_package(GTest REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_library(loader_pure STATIC ${LOADER_PURE_SOURCES})
target_include_directories(loader_pure PUBLIC src)
target_compile_options(loader_pure PRIVATE ${PROJECT_WARNINGS})

add_subdirectory(tests/unit)
add_subdirectory(tests/e2e)
