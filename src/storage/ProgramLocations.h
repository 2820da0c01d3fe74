#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace tarvik {

// Where the program keeps its files. A portable copy (its folder is this
// user's to write, or already holds the settings file) keeps everything
// beside itself: settings named after the program, scripts and run log in
// its folder. An installed copy (a folder the user cannot write, or a
// package's tree) keeps the settings and scripts in $XDG_CONFIG_HOME/tarvik
// and the run log in $XDG_STATE_HOME/tarvik; the settings can still move
// scripts and log elsewhere.
struct ProgramLocations {
    bool installed = false;
    QString settingsFile;
    QString defaultScriptFolder; // no trailing separator
    QString defaultLogFolder;    // no trailing separator
    QString helpFile;            // faq.fil
};

// `executable` is the program's absolute path; the environment gives HOME
// and the XDG base folders (relative or empty values are ignored, as the
// XDG rules say).
ProgramLocations LocateProgramFiles(const QString& executable, const QProcessEnvironment& env);

// Creates the folders an installed copy keeps its files in, mode 0700, when
// missing. False when one of them cannot be made.
bool CreateProgramFolders(const ProgramLocations& locations);

} // namespace tarvik
