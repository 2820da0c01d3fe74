#pragma once

#include "archive/ArchiveRequests.h"

namespace tarvik::zipio {

// Extracts the selected members of the archive below request.folder. Each file
// is written to a temporary sibling and renamed over its target only once
// complete and its CRC checked.
ExtractOutcome ExtractMembers(const ExtractRequest& request);

} // namespace tarvik::zipio
