// The conversion tests' headless window and KOB test files, built into this program as well: the
// fault scenarios run the batch driver exactly as those tests do.
#include "tests/convert/BatchHarness.cpp"
#include "tests/convert/KobFiles.cpp"
