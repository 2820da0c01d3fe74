#pragma once

#include <Qt>

namespace tarvik {

// Shows the hourglass (or another busy pointer) for its lifetime.
class WaitCursor {
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace tarvik
