// Counts every allocation made through operator new in this process, the
// library's included, so tests can show that processing allocates nothing.
#pragma once

long AllocationCount();
