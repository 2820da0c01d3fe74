#pragma once

#include <QString>

class QProgressBar;

namespace tarvik {

// The run's progress bar counts tenths of a percent; the exact share stays in
// its "percent" property. Set at script boundaries, it shows no file.
void SetRunProgress(QProgressBar* bar, double percent);
// Moves the bar on within the running script, never back, and names the file
// at hand on it (shortened in the middle to fit).
void AdvanceRunProgress(QProgressBar* bar, double percent, const QString& file);

} // namespace tarvik
