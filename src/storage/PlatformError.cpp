#include "storage/PlatformError.h"

#include <cstring>

namespace tarvik {

PlatformError ErrorFromErrno(int number) {
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}

} // namespace tarvik
