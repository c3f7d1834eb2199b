#pragma once

// What a process of the loader ends with. Deployment tools start the loader
// where nobody watches and judge the install by this code alone, so every
// end names what happened in the system's own error codes; success stays 0.
// The setup program's own code (3010 and 1641 ask for a reboot) is passed on
// unchanged.
namespace ExitCode {

constexpr unsigned long kSuccess = 0;
constexpr unsigned long kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND: no setup program beside the loader
constexpr unsigned long kInvalidData = 13;       // ERROR_INVALID_DATA: an empty manifest
constexpr unsigned long kGenFailure = 31;        // ERROR_GEN_FAILURE: a failure that left no code
constexpr unsigned long kNotSupported = 50;      // ERROR_NOT_SUPPORTED: manifest mode in a bound copy
constexpr unsigned long kBadPathname = 161;      // ERROR_BAD_PATHNAME: the system reports no whole path
constexpr unsigned long kPathTooLong = 206;      // ERROR_FILENAME_EXCED_RANGE
constexpr unsigned long kBadImageHash = 577;     // ERROR_INVALID_IMAGE_HASH: not the file a bound copy starts
constexpr unsigned long kNoTranslation = 1113;   // ERROR_NO_UNICODE_TRANSLATION: the code page cannot hold it
constexpr unsigned long kTimeout = 1460;         // ERROR_TIMEOUT: the window's time ran out
constexpr unsigned long kUserExit = 1602;        // ERROR_INSTALL_USEREXIT: closed by the user
constexpr unsigned long kAlreadyRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING: tools retry on it

// ERROR_ELEVATION_REQUIRED: the file asks for rights that only the shell may prompt for.
constexpr unsigned long kElevationRequired = 740;

// A failure's number as an exit code: never 0, which would read as success.
constexpr unsigned long OfFailure(unsigned long number) { return number ? number : kGenFailure; }

}  // namespace ExitCode
