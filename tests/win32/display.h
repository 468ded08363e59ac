// Whether real windows can be worked here: always on Windows; under wine only with a
// display (wine's driver without one keeps windows hidden from other programs and tests).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

namespace pellix::testing {

inline bool UnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline bool HasDisplay() {
    return !UnderWine() || ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0;
}

}  // namespace pellix::testing

// Skips the test when there is no display to put windows on (see scripts/test-windows.sh).
#define PELLIX_REQUIRE_DISPLAY()                                                             \
    do {                                                                                     \
        if (!::pellix::testing::HasDisplay())                                                \
            GTEST_SKIP() << "needs a display: under wine, run with PELLIX_WINE_DISPLAY set"; \
    } while (false)
