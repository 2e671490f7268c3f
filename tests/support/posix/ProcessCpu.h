#pragma once

namespace testsupport {

// Processor time this process has used so far, in milliseconds, for tests that check an idle
// or failing reader does not spin.
double ProcessCpuMs();

}  // namespace testsupport
