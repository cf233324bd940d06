// The result texts and script keys, indexed by ResultCode.
#include "formats/result_code.h"

namespace {

// The texts form one table followed by an empty entry.
const char* const kTexts[GX_TOTAL + 1] = {
    "No error",
    "Bad parameter",
    "Error scanning snapshot archive",
    "Unknown snapshot",
    "Couldn't open file",
    "Incomplete file",
    "Bad snapshot (size)",
    "Out of memory",
    "Snapshot not supported",
    "Bad snapshot",
    "Unsupported hardware",
    "Nested RZX",
    "Incomplete RZX (missing input data)",
    "",
};

const char* const kKeys[GX_TOTAL] = {
    "None",          "BadParam",        "ErrorScanningFiles", "UnknownSnapshot",
    "CouldNotOpenFile", "InCompleteFile", "SnapshotBadSize",   "OutOfMemory",
    "NotSupported",  "BadSnapshot",     "UnsupportedHardware", "NestedRZX",
    "Incomplete RZX",
};

}  // namespace

const char* ResultText(int32_t code) {
  return code >= 0 && code < GX_TOTAL ? kTexts[code] : kTexts[GX_TOTAL];
}

const char* ResultKey(int32_t code) { return code >= 0 && code < GX_TOTAL ? kKeys[code] : nullptr; }
