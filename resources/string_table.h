// The program's string table: the saver's description, the framework's error messages and the
// display settings dialog's rendering texts, by their resource numbers.
#pragma once

#include <cstdint>

enum : int32_t {
  IDS_DESCRIPTION = 1000,
  IDS_ERR_GENERIC = 2100,
  IDS_ERR_NODIRECT3D = 2101,
  IDS_ERR_NOWINDOW = 2102,
  IDS_ERR_CREATEDEVICEFAILED = 2103,
  IDS_ERR_NOCOMPATIBLEDEVICES = 2104,
  IDS_ERR_NOHARDWAREDEVICE = 2105,
  IDS_ERR_HALNOTCOMPATIBLE = 2106,
  IDS_ERR_NOHALTHISMODE = 2107,
  IDS_ERR_MEDIANOTFOUND = 2108,
  IDS_ERR_RESIZEFAILED = 2109,
  IDS_ERR_OUTOFMEMORY = 2110,
  IDS_ERR_OUTOFVIDEOMEMORY = 2111,
  IDS_ERR_NOPREVIEW = 2112,
  IDS_RENDERING_FIRST = 2200,  // the rendering texts run to 2212
  IDS_RENDERING_LAST = 2212,
};

// The text of a string resource; empty for a number the table does not hold.
const char* LoadResourceString(int32_t id);
