#pragma once
// What the loader needs to know of an ANSI code page, apart from the
// platform, so that code pages this machine cannot switch to are tested too.

constexpr unsigned kCodePageUtf8 = 65001;

// Whether WideCharToMultiByte takes WC_NO_BEST_FIT_CHARS and the used-default
// flag for this code page. UTF-8 (the ANSI code page when "Unicode UTF-8 for
// worldwide language support" is on) and a few others fail the call when
// given either; there only converting back tells an exact result.
bool TakesExactnessFlags(unsigned codePage);
