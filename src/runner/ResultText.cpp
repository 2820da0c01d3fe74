#include "runner/ResultText.h"

namespace tarvik {

QString ResultText(int code, const QString& p) {
    if (code <= 0)
        return {};
    const QString corrupted =
        QStringLiteral("The archive file is corrupted. Try using the Fix option on it.");
    // One line per code reads as the table it is.
    // clang-format off
    switch (code) {
    case 10: return QStringLiteral("General error.");
    case 30: return QStringLiteral("No zip file specified.");
    case 40: return QStringLiteral("Some files were skipped while ") + p + u'.';
    case 50: return QStringLiteral("The Zip file is empty.");
    case 100: return QStringLiteral("Could not find the archive file.");
    case 110: return corrupted;
    case 120: return QStringLiteral("Ran out of memory while ") + p + u'.';
    case 130: return QStringLiteral("Invalid property settings. Check your code.");
    case 140: return QStringLiteral("Script contains invalid information.");
    case 150: return {};
    case 160: return corrupted;
    case 180:
        return QStringLiteral("Another application is currently performing a similar task. "
                              "Wait until the other application has completed its operation.");
    case 190: return QStringLiteral("The ") + p + QStringLiteral(" operation was aborted.");
    case 200: return QStringLiteral("Test failed - errors in the archive.");
    case 210: return QStringLiteral("No files ended up being tested in the archive.");
    case 280: return QStringLiteral("Problem with the temporary file.");
    case 290: return QStringLiteral("Problem reading from file while ") + p + u'.';
    case 300: return QStringLiteral("Problem writing to file while ") + p + u'.';
    case 310: return QStringLiteral("Problem creating file while ") + p + u'.';
    case 350: return QStringLiteral("Attempt to remove parent directory.");
    case 370: return QStringLiteral("Names repeated in archive after discarding pathnames.");
    case 380:
        return QStringLiteral("Could not update the Zip archive date. Archive only contains "
                              "directories or is empty.");
    case 400:
        return QStringLiteral("Read/Write error with the Zip file or one of the files to process.");
    case 410:
        return QStringLiteral("Cannot work on multiple-disk archives when not in Multidisk mode.");
    case 420: return QStringLiteral("Wrong disk was inserted too many times.");
    case 430: return QStringLiteral("Operation not supported for Multidisk Zip archives.");
    case 440: return QStringLiteral("Could not open the self-extractor binary.");
    case 450: return QStringLiteral("Could not open the self-extractor configuration file");
    case 460: return QStringLiteral("Invalid command parameter passed to a zip engine event.");
    case 470: return QStringLiteral("Not enough space on first disk to write self-extractor.");
    case 490: return QStringLiteral("Invalid self-extractor binary version.");
    case 510: return QStringLiteral("Problem creating destination directory while ") + p + u'.';
    default: break;
    }
    // clang-format on
    return QStringLiteral("An error occured while ") + p + QStringLiteral(" the specified files.");
}

} // namespace tarvik
