#pragma once
// Time stamps of start-up's steps, for finding where start-up spends its time.
// Only a build configured with the CMake option TEMPLATE_STARTUP_TIMES (a build
// for measuring, never a release) writes them: each mark then appends
// "<milliseconds since the process was created> <step>" to the file that the
// environment variable TEMPLATE_STARTUP_TIMES names. In every other build a
// mark does nothing.

namespace tpl {

void MarkStartupStep(const char* step) noexcept;

}  // namespace tpl
