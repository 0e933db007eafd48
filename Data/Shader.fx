// Shader.fx: the metaball mesh. Horizontal stripes that follow the screen on
// surfaces facing up, a dim unstriped grey underneath.

@common
uniform mat4 g_mView;
uniform mat4 g_mProj;

@vertex TwisterVS
layout(location = 0) in vec3 i_Position;
layout(location = 2) in vec3 i_Normal;
out vec3 v_Normal;
out vec4 v_Clip;
void main()
{
    // Row vector times the row-major matrices, as the program holds them.
    vec4 clip = vec4(i_Position, 1.0) * g_mView * g_mProj;
    gl_Position = clip;
    v_Clip = clip;
    v_Normal = i_Normal;
}

@pixel TwisterPS
in vec3 v_Normal;
in vec4 v_Clip;
void main()
{
    float ld = dot(normalize(v_Normal), vec3(0.0, 1.0, 0.0));
    // Clip-space y before the divide: stripes stay level on the screen.
    float g = 0.3 + (sin(v_Clip.y * 64.0) + 1.0) * 0.4;
    vec3 colour;
    if (ld < 0.0)
    {
        float d = ld * -0.5;
        colour = vec3(d * d);
    }
    else
    {
        colour = vec3(g * ld * ld);
    }
    colour.g += 0.03;
    o_Color = vec4(colour, 1.0);
}

@technique Twister
pass p0 TwisterVS TwisterPS
