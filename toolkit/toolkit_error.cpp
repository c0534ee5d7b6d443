#include "toolkit/toolkit_error.h"

#include <cstdio>

#include "base/error.h"

namespace vistoro {

void raiseToolkitError(const std::string &subSystem, int subCode, const std::string &description,
                       const std::string &operation) {
    ErrorObject e;
    e.genCode = kGenToolkit;
    e.subSystem = subSystem;
    e.subCode = subCode;
    e.severity = 2;
    e.description = description;
    e.operation = operation;
    raiseError(e);
}

std::string idDetail(int nId) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "No: %6d", nId);
    return buf;
}

} // namespace vistoro
