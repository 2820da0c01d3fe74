#include "archive/WorkerThreads.h"

#include <QThread>
#include <QtGlobal>
#include <algorithm>

namespace tarvik::zipio {

int WorkerThreads(int requested) {
    if (requested > 0)
        return requested;
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("TARVIK_THREADS", &ok);
    if (ok && fromEnvironment >= 1 && fromEnvironment <= 256)
        return fromEnvironment;
    return std::max(1, QThread::idealThreadCount());
}

} // namespace tarvik::zipio
