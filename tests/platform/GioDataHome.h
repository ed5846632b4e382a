#pragma once
// GIO reads XDG_DATA_HOME once per process and caches the desktop entries it finds,
// so the platform suite sets both up before any test runs: trashed items and
// desktop entries stay in the test's own tree.

#include <string>

namespace twtest {

// The folder XDG_DATA_HOME names for this test process.
const std::string& gioDataHome();

// The name of a desktop entry installed in gioDataHome(); launching it creates
// the file gioLaunchMarker().
inline constexpr const char* kTestApplicationName = "Twinsift Test Helper";
std::string gioLaunchMarker();

}  // namespace twtest
