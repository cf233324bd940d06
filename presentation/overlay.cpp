// The statistics line and the captions, drawn with the overlay font after the scene.
#include "presentation/overlay.h"

#include "presentation/overlay_font.h"
#include "presentation/text_list.h"

void DrawOverlay(COverlayFont* font, CTextList& captions, std::string_view statsText, bool showFPS,
                 float now) {
  if (font && showFPS) font->DrawText(20, 20, statsText);
  // A caption that cannot be drawn is passed over; the frame goes on.
  captions.Draw(now, [font](const TextMessage& message) {
    if (font) font->DrawText(message.x, message.y, message.text);
  });
}
