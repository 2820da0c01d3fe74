#pragma once

#include <QLatin1String>

// Section and key names of script and settings files, in one place.
namespace tarvik::keys {

inline constexpr QLatin1String kOptions{"Options"};

// Both script kinds.
inline constexpr QLatin1String kFile{"File"}; // File1, File2, ...
inline constexpr QLatin1String kDir{"Dir"};   // Dir1, Dir2, ...
inline constexpr QLatin1String kZipFile{"ZipFile"};
inline constexpr QLatin1String kPassword{"Password"};
inline constexpr QLatin1String kDescription{"Description"};
inline constexpr QLatin1String kLastRun{"LastRun"};
inline constexpr QLatin1String kError{"Error"};

// Zip scripts.
inline constexpr QLatin1String kModifiedDate{"ModifiedDate"};
inline constexpr QLatin1String kCompressionMode{"CompressionMode"};
inline constexpr QLatin1String kStorePaths{"StorePaths"};
inline constexpr QLatin1String kStoreSubDirs{"StoreSubDirs"};
inline constexpr QLatin1String kIncludeHiddenFiles{"IncludeHiddenFiles"};
inline constexpr QLatin1String kIncludeDirectoryEntries{"IncludeDirectoryEntries"};
inline constexpr QLatin1String kIncludeVolumeLabel{"IncludeVolumeLabel"};
inline constexpr QLatin1String kVersions{"Versions"};
inline constexpr QLatin1String kAttachment{"Attachment"};
inline constexpr QLatin1String kHyperLink{"HyperLink"};
inline constexpr QLatin1String kHyperLinkPath{"HyperLinkPath"};
inline constexpr QLatin1String kEmailAddress{"EmailAddress"}; // EmailAddress1, ...
inline constexpr QLatin1String kSenderName{"SenderName"};
inline constexpr QLatin1String kSender{"Sender"};
inline constexpr QLatin1String kSubject{"Subject"};
inline constexpr QLatin1String kBody{"Body"};

// Unzip scripts.
inline constexpr QLatin1String kDelete{"Delete"};
inline constexpr QLatin1String kOverwrite{"Overwrite"};
inline constexpr QLatin1String kExtract{"Extract"};

// Program settings.
inline constexpr QLatin1String kUncPaths{"UNC_Paths"};
inline constexpr QLatin1String kNewErrorFile{"NewErrorFile"};
inline constexpr QLatin1String kMilitaryTime{"MilitaryTime"};
inline constexpr QLatin1String kZipScriptFile{"ZipScriptFile"};
inline constexpr QLatin1String kUnzipScriptFile{"UnzipScriptFile"};
inline constexpr QLatin1String kUnzipFile{"UnzipFile"};
inline constexpr QLatin1String kScriptFilePath{"ScriptFilePath"};
inline constexpr QLatin1String kErrorFilePath{"ErrorFilePath"};
inline constexpr QLatin1String kMailServer{"MailServer"};
inline constexpr QLatin1String kMailServerPort{"MailServerPort"};
inline constexpr QLatin1String kAlertAddress{"AlertAddress"};

} // namespace tarvik::keys
