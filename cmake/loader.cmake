# The Windows side: the loader itself, its Win32 tests and the programs the
# tests run under Wine.
set(LOADER_WIN32_SOURCES
    src/runtime/App.cpp
    src/runtime/Err.cpp
    src/runtime/Files.cpp
    src/runtime/Form.cpp
    src/runtime/Kernel.cpp
    src/runtime/LazyFunction.cpp
    src/runtime/ProcessLocation.cpp
    src/shell/ModShell.cpp
    src/startup/CompletionMarker.cpp
    src/startup/MainMod.cpp
    src/waitwindow/frmWait.cpp
    src/waitwindow/hw.cpp
    src/waitwindow/Transparant.cpp
    src/waitwindow/WindowsVersion.cpp
    src/waitwindow/LavaFrames.cpp
    src/waitwindow/WaitPaint.cpp
    src/waitwindow/DdeLink.cpp
    src/manifest/ModManifest.cpp
)

# Small and self-contained: no exceptions or RTTI machinery, unused code
# dropped, everything linked statically so only system DLLs are imported.
set(LOADER_COMPILE_OPTIONS -Wall -Wextra -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
set(LOADER_LINK_OPTIONS -static -s -Wl,--gc-sections)

# The hourglass frames go in as data (not resources), rebuilt when they change.
set(LAVA_FRAMES_DIR ${CMAKE_SOURCE_DIR}/src/waitwindow/frames)
file(GLOB LAVA_FRAME_FILES CONFIGURE_DEPENDS ${LAVA_FRAMES_DIR}/lava*.bmp)
set_source_files_properties(src/waitwindow/LavaFrames.cpp PROPERTIES
    COMPILE_DEFINITIONS "LAVA_FRAMES_DIR=\"${LAVA_FRAMES_DIR}\""
    OBJECT_DEPENDS "${LAVA_FRAME_FILES}")

add_library(loader_core STATIC ${LOADER_PURE_SOURCES} ${LOADER_WIN32_SOURCES})
target_include_directories(loader_core PUBLIC src)
target_compile_options(loader_core PRIVATE ${LOADER_COMPILE_OPTIONS})
target_compile_definitions(loader_core PUBLIC WINVER=0x0501 _WIN32_WINNT=0x0501 WIN32_LEAN_AND_MEAN)

add_executable(prjLomdra WIN32 src/main.cpp resources/loader.rc)
target_link_libraries(prjLomdra PRIVATE loader_core)
target_compile_options(prjLomdra PRIVATE ${LOADER_COMPILE_OPTIONS})
target_link_options(prjLomdra PRIVATE ${LOADER_LINK_OPTIONS})
set_target_properties(prjLomdra PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_SOURCE_DIR}/dist)

# The icon's images and directory, as the files loader.rc names.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ICON_RESOURCE_DIR ${CMAKE_BINARY_DIR}/icon)
set(ICON_RESOURCE_FILES ${ICON_RESOURCE_DIR}/group.bin)
foreach(id RANGE 30001 30006)
    list(APPEND ICON_RESOURCE_FILES ${ICON_RESOURCE_DIR}/icon${id}.bin)
endforeach()
add_custom_command(OUTPUT ${ICON_RESOURCE_FILES}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/resources/split_icon.py
            ${CMAKE_SOURCE_DIR}/resources/app.ico ${ICON_RESOURCE_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/app.ico ${CMAKE_SOURCE_DIR}/resources/split_icon.py)
target_include_directories(prjLomdra PRIVATE ${ICON_RESOURCE_DIR})
set_source_files_properties(resources/loader.rc PROPERTIES OBJECT_DEPENDS
    "${ICON_RESOURCE_FILES};${CMAKE_SOURCE_DIR}/resources/version.h;${CMAKE_SOURCE_DIR}/resources/prjLomdra.exe.manifest")

add_subdirectory(tests/wine)
add_subdirectory(tests/fixtures)
