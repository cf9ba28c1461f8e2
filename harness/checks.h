// The validation program's suites and its one failure path.
#pragma once

namespace harness {

// Reports a failed check as "FAIL: <message>" on stderr and ends the run with status 1. Every
// check relies on it never returning: nothing after a failed check runs.
[[noreturn]] void Fail(const char* message);

// Each suite writes its PASS line(s) to stdout once all its checks hold, or ends the run in Fail.
void RunAdalightChecks();
void RunHexParserChecks();
void RunCeilingChecks();

}  // namespace harness
