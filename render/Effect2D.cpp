// The built-in 2D effect: coloured and textured rectangles in pixels through
// the orthographic matrix, and 3D lines through the camera.
#include "render/RenderDevice.h"

const char g_Effect2DSource[] = R"FX(
@common
uniform mat4 g_OrthogonalMatrix;
uniform mat4 g_mProj;
uniform mat4 g_mModel;
uniform mat4 g_mModelView;
uniform sampler2D g_Texture;

@vertex VS_PosCol
layout(location = 0) in vec4 a_Position;
layout(location = 1) in vec4 a_Color;
out vec4 v_Color;
void main()
{
    gl_Position = a_Position * g_OrthogonalMatrix;
    v_Color = a_Color;
}

@vertex VS_PosColTex
layout(location = 0) in vec4 a_Position;
layout(location = 1) in vec4 a_Color;
layout(location = 3) in vec2 a_TexCoord;
out vec4 v_Color;
out vec2 v_TexCoord;
void main()
{
    gl_Position = a_Position * g_OrthogonalMatrix;
    v_Color = a_Color;
    v_TexCoord = a_TexCoord;
}

@vertex VS_Line
layout(location = 0) in vec3 a_Position;
layout(location = 1) in vec4 a_Color;
out vec4 v_Color;
void main()
{
    gl_Position = vec4(a_Position, 1.0) * g_mModelView * g_mProj;
    v_Color = a_Color;
}

@pixel PS_PosCol
in vec4 v_Color;
void main()
{
    o_Color = v_Color;
}

@pixel PS_PosColTex
in vec4 v_Color;
in vec2 v_TexCoord;
void main()
{
    o_Color = texture(g_Texture, v_TexCoord) * v_Color;
}

@pixel PS_PosColTexAlpha
in vec4 v_Color;
in vec2 v_TexCoord;
void main()
{
    vec4 c = texture(g_Texture, v_TexCoord) * v_Color;
    // Dark texels become transparent.
    c.a = v_Color.a * (c.r + c.g + c.b) / 3.0;
    o_Color = c;
}

@pixel PS_Line
in vec4 v_Color;
void main()
{
    o_Color = v_Color;
}

@sampler g_Texture point point point wrap wrap

@technique PosCol2D
pass Single_Pass VS_PosCol PS_PosCol

@technique PosColTex2D
pass Single_Pass VS_PosColTex PS_PosColTex

@technique PosColTex2DAlpha
pass Single_Pass VS_PosColTex PS_PosColTexAlpha

@technique RenderLine
pass p0 VS_Line PS_Line
)FX";
