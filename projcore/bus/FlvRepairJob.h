#pragma once

#include "projcore/Records.h"

// Carries out kProjectRepairFlv: the repair writes each output under a
// temporary name in the output folder, and only a whole output is given its
// final name (name.flv, name_2.flv ..., the first free one), so no existing
// file is ever replaced and a failed output leaves nothing behind.
void RunFlvRepair(FlvRepairRequest& request);
