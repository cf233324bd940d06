// Z80 snapshots. (Interim: the reader arrives with the formats work.)
#include "formats/readers.h"
#include "formats/result_code.h"

int32_t ReadZ80(CSpeccy&, const uint8_t*, uint32_t) { return GX_NOT_SUPPORTED; }
