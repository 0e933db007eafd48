#include "app/WindowIcon.h"

#include <cstdint>
#include <vector>

#include "content/ResourceIds.h"
#include "platform/D3DX9.h"
#include "render/RenderDevice.h"

namespace {

// The knob in the interface image: a circle about this centre and radius.
constexpr int KnobX = 400, KnobY = 360, KnobRadius = 97;
constexpr int IconSide = 64;

}  // namespace

void SetWindowIconFromArtwork()
{
    if (!g_Device || !g_hWnd)
        return;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromResourceA(g_Device, nullptr, InterfaceId, &texture)) || !texture)
        return;
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(texture->GetLevelDesc(0, &desc)) && desc.Width >= 512 && desc.Height >= 512 &&
        SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0)))
    {
        std::vector<uint32_t> icon(IconSide * IconSide, 0);
        const auto* texels = static_cast<const uint8_t*>(locked.pBits);
        for (int y = 0; y < IconSide; ++y)
            for (int x = 0; x < IconSide; ++x)
            {
                // Box-filter the texels under each icon pixel, inside the circle only.
                const int step = 2 * KnobRadius / IconSide + 1;
                uint32_t sum[4] = {}, count = 0;
                for (int v = 0; v < step; ++v)
                    for (int u = 0; u < step; ++u)
                    {
                        const int dx = (x * 2 * KnobRadius) / IconSide - KnobRadius + u;
                        const int dy = (y * 2 * KnobRadius) / IconSide - KnobRadius + v;
                        if (dx * dx + dy * dy > KnobRadius * KnobRadius)
                            continue;
                        const uint32_t c = *reinterpret_cast<const uint32_t*>(
                            texels + size_t(KnobY + dy) * size_t(locked.Pitch) + size_t(KnobX + dx) * 4);
                        for (int k = 0; k < 4; ++k)
                            sum[k] += (c >> (8 * k)) & 0xFF;
                        ++count;
                    }
                if (count == 0)
                    continue;
                uint32_t c = 0;
                for (int k = 0; k < 4; ++k)
                    c |= (sum[k] / count) << (8 * k);
                icon[size_t(y) * IconSide + x] = c;
            }
        texture->UnlockRect(0);
        SetWindowIconArgb(g_hWnd, IconSide, IconSide, icon.data());
    }
    texture->Release();
}
