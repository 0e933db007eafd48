#pragma once
// Images drawn square by square for less work than whole rectangles, with the
// same pixels (see DrawTiles.cpp). Main thread only.

class CTexture;

// The texture at its own size at (x, y) in white: the same pixels as
// DrawTexturedRect, for less work. Squares of texels all transparent are left
// out (blending would keep what is under them), squares all opaque are drawn
// without blending, and squares that `cover` (the same size, drawn next at the
// same place) hides entirely are left out. Scaled or between pixels it is one
// rectangle as DrawTexturedRect.
void DrawImageInTiles(const CTexture* texture, float x, float y, const CTexture* cover);
// Two images of one size, `top` over `bottom`, at (x, y), around a scene that
// goes beneath them: Under before the scene, Over after it, give the pixels of
// the scene followed by both images whole. Under draws the squares whose
// result is opaque whatever lies beneath, and scissors what follows to the
// rectangle where the scene can show: near that rectangle at depth 0, so that
// the scene's 3D fails its depth test there and is never shaded; away from it
// drawn once, then copied back from the device in the frames after. Over
// ends the scissor and blends the rest. Between them the scene must draw 3D
// only (depth tested, nearer than 0 never).
// Where squares cannot stand for the images (see above), Over draws both
// whole and Under draws nothing.
enum class ELayerPass
{
    Under,
    Over
};
void DrawLayersInTiles(const CTexture* bottom, const CTexture* top, float x, float y, ELayerPass pass);
// The Under pass keeps what it drew on the device for the frames after.
// Whoever changes the target, or what was drawn into it, says so here: the
// next frame then draws it all and keeps it anew.
void ForgetKeptLayers();
// Whether the blend state is "source alpha over", under which an opaque
// source replaces what is there exactly.
bool BlendsSourceOver();
