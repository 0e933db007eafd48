#pragma once
// The music-disk screen's images. Positions are those of the screen's
// 800 by 600 layout: buttons, knob, volume groove and equaliser corners.
#include <string>

#include "Image.h"

CImage BuildInterface();
CImage BuildOverlay();
CImage BuildPauseIcon();     // 32 x 32, to be written without alpha
CImage BuildEqualiser();
CImage BuildVolumeStrip();
CImage BuildVolumeEnd();
CImage BuildLoading();
CImage BuildWords();  // words.png; see Words.cpp
// The header that says where words.png keeps its plates and letters.
bool WriteWordsLayout(const std::string& path);

// The skin with the day album's words, or an own album's: TRACK on the
// knob and the two lines bare.
enum class ESkinWords { Day, Own };
CImage DrawSkinWith(ESkinWords words);
// An engraved text: a light lip below, the dark letters above; x is its
// left end, or its middle when centred.
void EngravedText(cairo_t* cr, const char* text, double x, double y, double spacing, bool centred, uint32_t ink,
                  double lipAlpha = 0.65);
