#pragma once
// The music-disk screen's images. Positions are those of the screen's
// 800 by 600 layout: buttons, knob, volume groove and equaliser corners.
#include "Image.h"

CImage BuildInterface();
CImage BuildOverlay();
CImage BuildPauseIcon();     // 32 x 32, to be written without alpha
CImage BuildEqualiser();
CImage BuildVolumeStrip();
CImage BuildVolumeEnd();
CImage BuildLoading();
