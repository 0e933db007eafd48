#pragma once
// The first screen of the show: fades its picture in, preloads the content
// one item every sixteenth fully visible frame behind a progress bar, fades
// out and removes itself. Main thread only.
#include <cstdint>

#include "content/ResourceIds.h"
#include "content/Effect.h"

class CTexture;

class CLoading : public CEffect
{
public:
    CLoading();
    ~CLoading() override;
    void End() override;
    void Update(float dt) override;
    void Render() override;

    float m_Progress = 0.0f;
    CTexture* m_Picture = nullptr;  // owned
    float m_Fade = 1.0f;

    static int32_t s_FrameCount;
};

