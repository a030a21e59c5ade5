// Runs the repair into a folder and keeps what it told: its fixes and outputs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tagflow/tagflow.h"

struct RepairRun {
    int32_t result = -1;
    std::vector<FLVRepairFix> fixes;
    std::vector<std::string> paths;
    std::vector<FLVRepairOutput> outputs;
    std::string folder;

    int Count(int32_t kind) const {
        int n = 0;
        for (const auto& f : fixes) n += f.kind == kind;
        return n;
    }
};

// Outputs are folder/out.flv, folder/out_2.flv ...
inline RepairRun Repair(const std::string& input, const std::string& folder) {
    RepairRun run;
    run.folder = folder;
    FLVRepairHandle r = FLVRepair_Create();
    FLVRepair_SetPathCallBack(
        r,
        [](void* user, int32_t index, char* path, uint32_t size) -> int32_t {
            auto* self = static_cast<RepairRun*>(user);
            const std::string name = self->folder + (index ? "/out_" + std::to_string(index + 1) : "/out") + ".flv";
            std::snprintf(path, size, "%s", name.c_str());
            return 1;
        },
        &run);
    FLVRepair_SetOutputCallBack(
        r,
        [](void* user, const char* path, const FLVRepairOutput* out) {
            auto* self = static_cast<RepairRun*>(user);
            self->paths.push_back(path);
            self->outputs.push_back(*out);
        },
        &run);
    FLVRepair_SetFixCallBack(
        r, [](void* user, const FLVRepairFix* f) { static_cast<RepairRun*>(user)->fixes.push_back(*f); }, &run);
    run.result = FLVRepair_Run(r, input.c_str());
    FLVRepair_Delete(r);
    return run;
}
