#include "similar/ZPInternalCheck.h"

#include <cstring>

#include "platform/Log.h"

void zpReportInternalError(std::source_location where) {
    const char* file = where.file_name();
    if (const char* slash = std::strrchr(file, '/')) file = slash + 1;
    tw::log("*BUG* File: [%s] Line: [%d]", file, static_cast<int>(where.line()));
}
