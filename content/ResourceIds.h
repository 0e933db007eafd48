#pragma once
// The ids of the embedded content, in one place: the resource table, the
// loading screen, the blob, the player and the window's icon all name them
// from here.
#include <cstdint>

enum EResourceId : uint32_t
{
    ShaderId = 220,          // Shader.fx
    OverlayId = 222,         // overlay.png
    InterfaceId = 223,       // interface.png, the skin (and the window's icon)
    EqualiserId = 224,       // equaliser.png
    FontTextureId = 225,     // font.png
    VolumeStripId = 226,     // vol_strip.png
    VolumeEndId = 227,       // vol_end.png
    LoadingPictureId = 228,  // the loading screen's picture
    PauseId = 229,           // pause.png
    WordsId = 230,           // words.png, an own album's words (loaded when first needed)
};
