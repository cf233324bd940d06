// The string table's texts.
#include "resources/string_table.h"

namespace {

struct StringResource {
  int32_t id;
  const char* text;
};

constexpr StringResource kStrings[] = {
    {IDS_DESCRIPTION, "Glimmerbox Screensaver"},
    {IDS_ERR_GENERIC, "There was an unspecified problem with this screen saver."},
    {IDS_ERR_NODIRECT3D,
     "Direct3D 8.0 could not be initialized.  Please install the latest version of DirectX."},
    {IDS_ERR_NOWINDOW, "Could not initialize the screen saver."},
    {IDS_ERR_CREATEDEVICEFAILED, "Could not create the Direct3D device."},
    {IDS_ERR_NOCOMPATIBLEDEVICES, "Could not find any compatible Direct3D devices."},
    {IDS_ERR_NOHARDWAREDEVICE, "No hardware-accelerated Direct3D devices were found."},
    {IDS_ERR_HALNOTCOMPATIBLE,
     "This screen saver requires functionality that is not available on your Direct3D hardware "
     "accelerator."},
    {IDS_ERR_NOHALTHISMODE,
     "This screen saver requires functionality that is not available on your Direct3D hardware "
     "accelerator with the current desktop display settings."},
    {IDS_ERR_MEDIANOTFOUND, "Could not load required media."},
    {IDS_ERR_RESIZEFAILED, "Could not reset the Direct3D device."},
    {IDS_ERR_OUTOFMEMORY, "Not enough memory."},
    {IDS_ERR_OUTOFVIDEOMEMORY, "Not enough video memory."},
    {IDS_ERR_NOPREVIEW, "No preview available"},
    {2200, "This video adapter supports hardware 3D rendering.  This screen saver can be "
           "displayed on this monitor."},
    {2201, "This video adapter supports hardware 3D rendering, but this screensaver requires "
           "functionality not available in hardware.  A software renderer will be used instead.  "
           "This screen saver can be displayed on this monitor."},
    {2202, "This video adapter supports hardware 3D rendering, but this screensaver requires "
           "functionality not available in hardware or software.  This screen saver cannot be "
           "displayed on this monitor."},
    {2203, "This video adapter supports hardware 3D rendering, but this screensaver requires "
           "functionality not available in hardware.  No software renderer is available.  This "
           "screen saver cannot be displayed on this monitor."},
    {2204, "This video adapter does not support hardware 3D rendering.  A software renderer will "
           "be used instead.  This screen saver can be displayed on this monitor."},
    {2205, "This video adapter does not support hardware 3D rendering.  This screensaver requires "
           "functionality not available in the software renderer.  This screen saver cannot be "
           "displayed on this monitor."},
    {2206, "This video adapter does not support hardware 3D rendering.  No software renderer is "
           "available.  This screen saver cannot be displayed on this monitor."},
    {2207, "The video adapter supports hardware 3D rendering, but it has been disabled.  A "
           "software renderer will be used instead.  This screen saver can be displayed on this "
           "monitor."},
    {2208, "This video adapter supports hardware 3D rendering, but it has been disabled.  This "
           "screensaver requires functionality not available in the software renderer.  This "
           "screen saver cannot be displayed on this monitor."},
    {2209, "This video adapter supports hardware 3D rendering, but it has been disabled.  No "
           "software renderer is available.  This screen saver cannot be displayed on this "
           "monitor."},
    {2210, "The screen saver can use hardware 3D rendering on this monitor."},
    {2211, "The screen saver can use software 3D rendering on this monitor."},
    {2212, "The screen saver cannot be displayed on this monitor."},
};

}  // namespace

const char* LoadResourceString(int32_t id) {
  for (const StringResource& entry : kStrings)
    if (entry.id == id) return entry.text;
  return "";
}
