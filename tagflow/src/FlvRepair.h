// The repair of one damaged FLV file: a plan pass and a write pass with the
// same rules (see RepairPass.h), checked against a change of the input
// between them.
#pragma once

#include <cstdint>

#include "RepairPass.h"

class CFlvRepair {
public:
    void SetCallbacks(const RepairCallbacks& cb) { cb_ = cb; }
    RepairCallbacks& Callbacks() { return cb_; }
    int32_t Run(const char* input);
    int32_t OutputCount() const { return outputs_; }

private:
    RepairCallbacks cb_;
    int32_t outputs_ = 0;
};
