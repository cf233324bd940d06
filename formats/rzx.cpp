// Input recordings: replay of recorded frames (fetch counts and port inputs).
// (Interim: the reader arrives with the formats work; until then nothing plays.)
#include "emulation/speccy.h"
#include "formats/readers.h"
#include "formats/result_code.h"

void CSpeccy::StopRZXPlayback() { rzxPlaying_ = false; }
uint32_t CSpeccy::GetRZXPart() const { return 0; }
uint32_t CSpeccy::GetRZXProgress() const { return 0xFFFFFFFF; }
bool CSpeccy::RZXFrameStart(int32_t&) { return false; }
uint8_t CSpeccy::RZXReadPort(uint16_t) { return 0xFF; }
bool CSpeccy::RZXFrameEnd() { return false; }

int32_t ReadRZX(CSpeccy&, uint8_t*, uint32_t, bool&) { return GX_NOT_SUPPORTED; }
