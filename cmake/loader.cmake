# The Windows side: the loader itself, its Win32 tests and the programs the
# tests run under Wine.
set(LOADER_WIN32_SOURCES
    src/runtime/process/App.cpp
    src/runtime/platform/Err.cpp
    src/runtime/files/Files.cpp
    src/runtime/files/FileHash.cpp
    src/runtime/forms/Form.cpp
    src/runtime/process/Kernel.cpp
    src/runtime/platform/LazyFunction.cpp
    src/runtime/process/ProcessLocation.cpp
    src/shell/ModShell.cpp
    src/shell/ProcessTree.cpp
    src/protocol/CompletionMarker.cpp
    src/protocol/OwnFolder.cpp
    src/startup/MainMod.cpp
    src/protocol/RunLocks.cpp
    src/waitwindow/frmWait.cpp
    src/shell/hw.cpp
    src/waitwindow/Transparant.cpp
    src/waitwindow/WindowsVersion.cpp
    src/waitwindow/LavaFrames.cpp
    src/waitwindow/WaitPaint.cpp
    src/waitwindow/DdeLink.cpp
    src/manifest/ModManifest.cpp
    src/binding/ModBinding.cpp
    src/runtime/files/HeldFile.cpp
    src/runtime/files/FolderEntry.cpp
    src/runtime/process/ProcessImage.cpp
    src/protocol/WaitingParent.cpp
    src/runtime/platform/WideText.cpp
)

# Small and self-contained: no exceptions or RTTI machinery, unused code
# dropped, optimised across files at link time, everything linked statically
# so only system DLLs are imported, and none of the C runtime's start-up code
# (src/main.cpp is the entry point). Functions called once stay out of line:
# folded into their one caller they made the few large functions larger than
# the calls they saved. The objects keep machine code beside the
# link-time form, so the Win32 tests can link them without it.
set(LOADER_COMPILE_OPTIONS ${PROJECT_WARNINGS} -Os -flto -ffat-lto-objects -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-inline-functions-called-once -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
set(LOADER_LINK_OPTIONS -flto -Os -fno-inline-functions-called-once -static -nostartfiles -Wl,--gc-sections)

add_library(loader_core STATIC ${LOADER_PURE_SOURCES} ${LOADER_WIN32_SOURCES})
target_include_directories(loader_core PUBLIC src)
target_compile_options(loader_core PRIVATE ${LOADER_COMPILE_OPTIONS})
target_include_directories(loader_core PRIVATE ${LAVA_PACK_DIR})
add_dependencies(loader_core lava_pack)
target_compile_definitions(loader_core PUBLIC WINVER=0x0501 _WIN32_WINNT=0x0501 WIN32_LEAN_AND_MEAN)

# The loader, and its twin: the same link with its symbols kept, for the
# largest symbols that make size lists.
foreach(target prjLomdra prjLomdra_twin)
    add_executable(${target} WIN32 src/main.cpp resources/loader.rc)
    # msvcrt ahead of the system libraries that CMake adds: without the start
    # files nothing pulls it in before the link-time optimisation, and this
    # linker crashes when it first meets it in its rescan after that.
    target_link_libraries(${target} PRIVATE loader_core msvcrt)
    target_compile_options(${target} PRIVATE ${LOADER_COMPILE_OPTIONS})
    target_link_options(${target} PRIVATE ${LOADER_LINK_OPTIONS})
endforeach()
target_link_options(prjLomdra PRIVATE -s)
set(LOADER_OUTPUT_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where the loader is written")
set_target_properties(prjLomdra PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LOADER_OUTPUT_DIR})
set_target_properties(prjLomdra_twin PROPERTIES OUTPUT_NAME prjLomdra RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/twin)

# Same commit, same loader bytes: the linker stamps the PE header with
# SOURCE_DATE_EPOCH (else the build time), here the commit's time unless the
# caller sets one. A changed time relinks through the stamp file.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(LOADER_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE LOADER_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(LOADER_EPOCH)
    set(LOADER_EPOCH_STAMP ${CMAKE_BINARY_DIR}/source-date-epoch)
    file(CONFIGURE OUTPUT ${LOADER_EPOCH_STAMP} CONTENT "${LOADER_EPOCH}\n")
    set_target_properties(prjLomdra PROPERTIES
        CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${LOADER_EPOCH}"
        LINK_DEPENDS ${LOADER_EPOCH_STAMP})
endif()

# The icon's images and directory, as the files loader.rc names.
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
target_include_directories(prjLomdra_twin PRIVATE ${ICON_RESOURCE_DIR})
set_source_files_properties(resources/loader.rc PROPERTIES OBJECT_DEPENDS
    "${ICON_RESOURCE_FILES};${CMAKE_SOURCE_DIR}/resources/version.h;${CMAKE_SOURCE_DIR}/resources/prjLomdra.exe.manifest")

add_subdirectory(tests/wine)
add_subdirectory(tests/fixtures)
