#pragma once

#include "archive/ArchiveRequests.h"

namespace tarvik::zipio {

// Extracts the selected members of the archive below request.folder. Each file
// is written without a name (TempFile) and given its name, or put in place of
// the file it replaces, only once complete and its CRC (for AE-2 members: its
// authentication code) checked.
// Members of archives made on Unix are written under the bytes of their
// stored names, UTF-8 or not.
ExtractOutcome ExtractMembers(const ExtractRequest& request);

} // namespace tarvik::zipio
