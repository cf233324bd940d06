// The result of every load: 0 for success, each failure with a text for logs and scripts and a
// key in the scripts' gbox.Error table.
#pragma once

#include <cstdint>

enum ResultCode : int32_t {
  GX_NONE = 0,
  GX_BAD_PARAM = 1,
  GX_ERROR_SCANNING_FILES = 2,
  GX_UNKNOWN_SNAPSHOT = 3,
  GX_COULD_NOT_OPEN_FILE = 4,
  GX_INCOMPLETE_FILE = 5,
  GX_SNAPSHOT_BAD_SIZE = 6,
  GX_OUT_OF_MEMORY = 7,
  GX_NOT_SUPPORTED = 8,
  GX_BAD_SNAPSHOT = 9,
  GX_UNSUPPORTED_HARDWARE = 10,
  GX_NESTED_RZX = 11,
  GX_INCOMPLETE_RZX = 12,
  GX_TOTAL = 13
};

// "No error", "Bad parameter", ...; an empty text for values outside 0..GX_TOTAL-1.
const char* ResultText(int32_t code);
// "None", "BadParam", ... (the key of 12 has a space: "Incomplete RZX"); null outside the range.
const char* ResultKey(int32_t code);
