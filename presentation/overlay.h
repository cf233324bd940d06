// What is drawn over the scene each frame: the frame statistics line, then the captions.
#pragma once

#include <string_view>

class COverlayFont;
class CTextList;

// Called after the scene, between BeginScene and EndScene. Draws `statsText` at (20, 20) when
// `showFPS` is on, then every caption of `captions` at machine clock `now`, later ones over
// earlier ones. Without a font nothing is drawn, but the captions still start and expire, so a
// script waiting for one to end is not kept waiting.
void DrawOverlay(COverlayFont* font, CTextList& captions, std::string_view statsText, bool showFPS,
                 float now);
