#include <cstdio>

#include "Commands.h"
#include "Json.h"

int Refuse(bool json, const std::string& message) {
    std::fprintf(stderr, "veltrano-cli: %s\n", message.c_str());
    if (json) std::printf("%s\n", JsonObject().Add("event", "error").Add("message", message).Add("exit", 2).Text().c_str());
    return 2;
}
