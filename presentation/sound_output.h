// The program's sound output as the televisions see it: it makes one stream for each machine
// (the stream itself belongs to the emulation, which writes it).
#pragma once

#include "emulation/sound_stream.h"

class CSoundOutput {
 public:
  virtual ~CSoundOutput() = default;
  virtual CSoundStream* CreateStream() = 0;
};
