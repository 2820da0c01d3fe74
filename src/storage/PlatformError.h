#pragma once

#include <QString>

namespace tarvik {

// A platform failure as the run log words it: "Error " N " : " text.
struct PlatformError {
    int number = 0;
    QString description;
};

// The errno value's number and the system's text for it.
PlatformError ErrorFromErrno(int number);

} // namespace tarvik
