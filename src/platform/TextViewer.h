#pragma once

#include <QString>

namespace tarvik {

// Shows a text file (a script, the help file) in a viewer of its own, without
// waiting for it. Behind an interface so tests can see what would be opened.
class TextViewer {
public:
    virtual ~TextViewer();
    // False when no viewer could be started; a missing file is for the
    // viewer to report.
    virtual bool open(const QString& path) = 0;
};

// The desktop's default viewer for the file (QDesktopServices).
class DesktopTextViewer final : public TextViewer {
public:
    bool open(const QString& path) override;
};

} // namespace tarvik
