// The effect layer: the section form of D3DX9.h parsed, each pass compiled
// and linked once, parameters set by name and applied at BeginPass.
//
// Sections: the parsed form, uniform declarations, stage sources (the
// wrappers that add the alpha test and the depth remap), the effect object,
// creation.
#include <epoxy/gl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gl/GlDevice.h"

namespace {

// ---------------------------------------------------------------- the parsed form

struct SChunk
{
    int m_Line = 0;  // effect line of the chunk's first line
    std::string m_Text;
};

struct SFunction
{
    std::string m_Name;
    bool m_Pixel = false;
    SChunk m_Body;
};

struct SPassDesc
{
    std::string m_Name, m_Vertex, m_Pixel;
};

struct STechniqueDesc
{
    std::string m_Name;
    std::vector<SPassDesc> m_Passes;
};

struct SSamplerDesc
{
    std::string m_Uniform;
    GLint m_Min = GL_NEAREST, m_Mag = GL_NEAREST, m_WrapS = GL_REPEAT, m_WrapT = GL_REPEAT;
};

struct SParsed
{
    std::vector<SChunk> m_Common;
    std::vector<SFunction> m_Functions;
    std::vector<STechniqueDesc> m_Techniques;
    std::vector<SSamplerDesc> m_Samplers;
};

std::vector<std::string_view> Tokens(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size())
    {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool Filter(std::string_view word, bool isMin, std::string_view mip, GLint* out)
{
    bool linear;
    if (word == "point" || word == "none")
        linear = false;
    else if (word == "linear")
        linear = true;
    else
        return false;
    if (!isMin || mip == "none")
        *out = linear ? GL_LINEAR : GL_NEAREST;
    else if (mip == "point")
        *out = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
        *out = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    return true;
}

bool Address(std::string_view word, GLint* out)
{
    if (word == "wrap")
        *out = GL_REPEAT;
    else if (word == "clamp")
        *out = GL_CLAMP_TO_EDGE;
    else if (word == "mirror")
        *out = GL_MIRRORED_REPEAT;
    else
        return false;
    return true;
}

bool Parse(std::string_view src, SParsed* out, std::string* error)
{
    enum class ESection { None, Common, Function, Technique, Sampler } section = ESection::None;
    std::string* text = nullptr;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < src.size())
    {
        size_t end = src.find('\n', pos);
        if (end == std::string_view::npos)
            end = src.size();
        std::string_view line = src.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        size_t first = 0;
        while (first < line.size() && std::isspace(static_cast<unsigned char>(line[first])))
            ++first;
        const std::string_view trimmed = line.substr(first);
        const std::string at = "line " + std::to_string(lineNumber) + ": ";

        if (!trimmed.empty() && trimmed[0] == '@')
        {
            const std::vector<std::string_view> t = Tokens(trimmed);
            text = nullptr;
            if (t[0] == "@common" && t.size() == 1)
            {
                section = ESection::Common;
                out->m_Common.push_back({lineNumber + 1, {}});
                text = &out->m_Common.back().m_Text;
            }
            else if ((t[0] == "@vertex" || t[0] == "@pixel") && t.size() == 2)
            {
                for (const SFunction& f : out->m_Functions)
                    if (f.m_Name == t[1])
                    {
                        *error = at + "function " + std::string(t[1]) + " defined twice";
                        return false;
                    }
                section = ESection::Function;
                out->m_Functions.push_back({std::string(t[1]), t[0] == "@pixel", {lineNumber + 1, {}}});
                text = &out->m_Functions.back().m_Body.m_Text;
            }
            else if (t[0] == "@technique" && t.size() == 2)
            {
                section = ESection::Technique;
                out->m_Techniques.push_back({std::string(t[1]), {}});
            }
            else if (t[0] == "@sampler" && t.size() == 7)
            {
                section = ESection::Sampler;
                SSamplerDesc s;
                s.m_Uniform = std::string(t[1]);
                if (!Filter(t[2], true, t[4], &s.m_Min) || !Filter(t[3], false, t[4], &s.m_Mag) ||
                    (t[4] != "none" && t[4] != "point" && t[4] != "linear") || !Address(t[5], &s.m_WrapS) ||
                    !Address(t[6], &s.m_WrapT))
                {
                    *error = at + "bad sampler states";
                    return false;
                }
                out->m_Samplers.push_back(s);
            }
            else
            {
                *error = at + "unknown section " + std::string(trimmed);
                return false;
            }
            continue;
        }

        switch (section)
        {
        case ESection::None:
            break;  // before the first section
        case ESection::Common:
        case ESection::Function:
            text->append(line);
            text->push_back('\n');
            break;
        case ESection::Technique:
        case ESection::Sampler:
        {
            if (trimmed.empty() || trimmed.substr(0, 2) == "//")
                break;
            const std::vector<std::string_view> t = Tokens(trimmed);
            if (section == ESection::Technique && t.size() == 4 && t[0] == "pass")
            {
                out->m_Techniques.back().m_Passes.push_back(
                    {std::string(t[1]), std::string(t[2]), std::string(t[3])});
                break;
            }
            *error = at + "unexpected text: " + std::string(trimmed);
            return false;
        }
        }
    }
    if (out->m_Techniques.empty())
    {
        *error = "no technique";
        return false;
    }
    for (const STechniqueDesc& t : out->m_Techniques)
        if (t.m_Passes.empty())
        {
            *error = "technique " + t.m_Name + " has no pass";
            return false;
        }
    return true;
}

// ---------------------------------------------------------------- uniform declarations

enum class EParamType { Matrix, Float, Texture, Other };

struct SDeclared
{
    std::string m_Name;
    EParamType m_Type;
};

std::string StripComments(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
    {
        if (s.compare(i, 2, "//") == 0)
        {
            while (i < s.size() && s[i] != '\n')
                ++i;
        }
        else if (s.compare(i, 2, "/*") == 0)
        {
            const size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? s.size() : e + 2;
            out.push_back(' ');
        }
        else
            out.push_back(s[i++]);
    }
    return out;
}

bool IsIdent(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Every `uniform TYPE name[, name...];` in the text.
void ScanUniforms(const std::string& source, std::vector<SDeclared>* out)
{
    const std::string s = StripComments(source);
    auto word = [&](size_t* i) {
        while (*i < s.size() && std::isspace(static_cast<unsigned char>(s[*i])))
            ++*i;
        const size_t start = *i;
        while (*i < s.size() && IsIdent(s[*i]))
            ++*i;
        return s.substr(start, *i - start);
    };
    for (size_t p = s.find("uniform"); p != std::string::npos; p = s.find("uniform", p + 7))
    {
        if ((p > 0 && IsIdent(s[p - 1])) || (p + 7 < s.size() && IsIdent(s[p + 7])))
            continue;
        size_t i = p + 7;
        std::string type = word(&i);
        while (type == "lowp" || type == "mediump" || type == "highp")
            type = word(&i);
        const EParamType kind = type == "mat4" ? EParamType::Matrix
                                : type == "float" ? EParamType::Float
                                : type == "sampler2D" ? EParamType::Texture
                                                      : EParamType::Other;
        for (;;)
        {
            const std::string name = word(&i);
            if (name.empty())
                break;  // a block or something this layer does not address
            bool known = false;
            for (const SDeclared& d : *out)
                known = known || d.m_Name == name;
            if (!known)
                out->push_back({name, kind});
            // Skip an array size or initialiser up to the next name or the end.
            int depth = 0;
            while (i < s.size() && !(depth == 0 && (s[i] == ',' || s[i] == ';')))
            {
                if (s[i] == '(' || s[i] == '[')
                    ++depth;
                else if (s[i] == ')' || s[i] == ']')
                    --depth;
                ++i;
            }
            if (i >= s.size() || s[i] == ';')
                break;
            ++i;  // the comma
        }
    }
}

// ---------------------------------------------------------------- stage sources

void AppendChunk(std::string* out, const SChunk& chunk)
{
    *out += "#line " + std::to_string(chunk.m_Line) + "\n";
    *out += chunk.m_Text;
}

std::string StageSource(const SParsed& parsed, const SFunction& f, bool remapDepth)
{
    std::string s = "#version 330 core\n";
    if (f.m_Pixel)
        s += "layout(location = 0) out vec4 o_Color;\n"
             "uniform int orba_AlphaFunc;\n"
             "uniform float orba_AlphaRef;\n";
    for (const SChunk& c : parsed.m_Common)
        AppendChunk(&s, c);
    s += "#define main orba_FxMain\n";
    AppendChunk(&s, f.m_Body);
    s += "#undef main\n";
    if (f.m_Pixel)
        // Direct3D's alpha test on the 8-bit alpha that would be written.
        s += "void main()\n"
             "{\n"
             "    orba_FxMain();\n"
             "    if (orba_AlphaFunc != 0)\n"
             "    {\n"
             "        float a = floor(clamp(o_Color.a, 0.0, 1.0) * 255.0 + 0.5);\n"
             "        float r = orba_AlphaRef;\n"
             "        bool keep = orba_AlphaFunc == 2 ? a < r : orba_AlphaFunc == 3 ? a == r :\n"
             "                    orba_AlphaFunc == 4 ? a <= r : orba_AlphaFunc == 5 ? a > r :\n"
             "                    orba_AlphaFunc == 6 ? a != r : orba_AlphaFunc == 7 ? a >= r : false;\n"
             "        if (!keep)\n"
             "            discard;\n"
             "    }\n"
             "}\n";
    else if (remapDepth)
        // Direct3D's clip depth runs 0..w, GL's -w..w.
        s += "void main()\n{\n    orba_FxMain();\n    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n}\n";
    else
        s += "void main()\n{\n    orba_FxMain();\n}\n";
    return s;
}

std::string ShaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

std::string ProgramLog(GLuint program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

// ---------------------------------------------------------------- the effect object

struct SParam
{
    std::string m_Name;
    EParamType m_Type = EParamType::Other;
    float m_Value[16] = {};
    CGlTexture* m_Texture = nullptr;
    int m_Unit = -1;
    GLuint m_Sampler = 0;
    uint32_t m_Version = 0;  // 0: never set
};

struct SPass
{
    SGlPassProgram m_Program;
    std::vector<GLint> m_Locations;   // per parameter
    std::vector<uint32_t> m_Uploaded; // version last uploaded, per parameter
};

struct STechnique
{
    std::string m_Name;
    std::vector<SPass> m_Passes;
};

class CGlEffect final : public ID3DXEffect, public CGlChild
{
public:
    explicit CGlEffect(CGlDevice* device) : CGlChild(device) {}

    void Release() override { delete this; }
    HRESULT SetTechnique(D3DXHANDLE technique) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DTexture9* texture) override;
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT EndPass() override;
    HRESULT End() override;

    void OnDeviceGone() override;
    void OnTextureGone(CGlTexture* texture) override;

    std::vector<SParam> m_Params;
    std::vector<STechnique> m_Techniques;
    size_t m_Technique = 0;
    bool m_Begun = false;
    SPass* m_ActivePass = nullptr;

private:
    ~CGlEffect() override;
    SParam* Find(D3DXHANDLE name, EParamType type);
    void Upload(SPass& pass, size_t index);
    void Changed(SParam& p);
};

CGlEffect::~CGlEffect()
{
    if (!m_Device)
        return;
    m_Device->MakeCurrent();
    for (STechnique& t : m_Techniques)
        for (SPass& p : t.m_Passes)
        {
            if (m_Device->ActivePass() == &p.m_Program)
                m_Device->SetActivePass(nullptr);
            if (p.m_Program.m_Program)
                glDeleteProgram(p.m_Program.m_Program);
        }
    for (SParam& p : m_Params)
        if (p.m_Sampler)
            glDeleteSamplers(1, &p.m_Sampler);
}

void CGlEffect::OnDeviceGone()
{
    for (STechnique& t : m_Techniques)
        for (SPass& p : t.m_Passes)
            p.m_Program.m_Program = 0;
    for (SParam& p : m_Params)
    {
        p.m_Sampler = 0;
        p.m_Texture = nullptr;
    }
    m_ActivePass = nullptr;
}

void CGlEffect::OnTextureGone(CGlTexture* texture)
{
    for (SParam& p : m_Params)
        if (p.m_Texture == texture)
        {
            p.m_Texture = nullptr;
            Changed(p);
        }
}

SParam* CGlEffect::Find(D3DXHANDLE name, EParamType type)
{
    if (!name)
        return nullptr;
    for (SParam& p : m_Params)
        if (p.m_Name == name)
            return p.m_Type == type ? &p : nullptr;
    return nullptr;
}

void CGlEffect::Changed(SParam& p)
{
    ++p.m_Version;
    // Inside a pass a change applies to the next draw.
    if (m_ActivePass && m_Device)
    {
        m_Device->MakeCurrent();
        Upload(*m_ActivePass, static_cast<size_t>(&p - m_Params.data()));
    }
}

void CGlEffect::Upload(SPass& pass, size_t index)
{
    SParam& p = m_Params[index];
    if (p.m_Type == EParamType::Texture)
    {
        // Units are shared by every program: bind each time a pass begins.
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(p.m_Unit));
        glBindTexture(GL_TEXTURE_2D, p.m_Texture ? p.m_Texture->m_Name : m_Device->BlackTexture());
        glBindSampler(static_cast<GLuint>(p.m_Unit), p.m_Sampler);
        return;
    }
    const GLint location = pass.m_Locations[index];
    if (location < 0 || p.m_Version == 0 || pass.m_Uploaded[index] == p.m_Version)
        return;
    if (p.m_Type == EParamType::Matrix)
        // Row-major storage uploaded transposed: GLSL's p * M is then
        // Direct3D's row-vector product.
        glUniformMatrix4fv(location, 1, GL_TRUE, p.m_Value);
    else if (p.m_Type == EParamType::Float)
        glUniform1f(location, p.m_Value[0]);
    pass.m_Uploaded[index] = p.m_Version;
}

HRESULT CGlEffect::SetTechnique(D3DXHANDLE technique)
{
    if (!technique)
        return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < m_Techniques.size(); ++i)
        if (m_Techniques[i].m_Name == technique)
        {
            m_Technique = i;
            return D3D_OK;
        }
    return D3DERR_INVALIDCALL;
}

HRESULT CGlEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix)
{
    SParam* p = Find(parameter, EParamType::Matrix);
    if (!p || !matrix)
        return D3DERR_INVALIDCALL;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            p->m_Value[i * 4 + j] = (*matrix)[i][j];
    Changed(*p);
    return D3D_OK;
}

HRESULT CGlEffect::SetFloat(D3DXHANDLE parameter, float value)
{
    SParam* p = Find(parameter, EParamType::Float);
    if (!p)
        return D3DERR_INVALIDCALL;
    p->m_Value[0] = value;
    Changed(*p);
    return D3D_OK;
}

HRESULT CGlEffect::SetTexture(D3DXHANDLE parameter, IDirect3DTexture9* texture)
{
    SParam* p = Find(parameter, EParamType::Texture);
    auto* t = dynamic_cast<CGlTexture*>(texture);
    if (!p || (texture && (!t || t->m_Device != m_Device)))
        return D3DERR_INVALIDCALL;
    p->m_Texture = t;
    Changed(*p);
    return D3D_OK;
}

HRESULT CGlEffect::Begin(UINT* passes, DWORD flags)
{
    if (!passes || m_Begun || !m_Device)
        return D3DERR_INVALIDCALL;
    *passes = static_cast<UINT>(m_Techniques[m_Technique].m_Passes.size());
    m_Begun = true;
    return D3D_OK;
}

HRESULT CGlEffect::BeginPass(UINT pass)
{
    if (!m_Begun || m_ActivePass || !m_Device || pass >= m_Techniques[m_Technique].m_Passes.size())
        return D3DERR_INVALIDCALL;
    SPass& p = m_Techniques[m_Technique].m_Passes[pass];
    m_Device->MakeCurrent();
    glUseProgram(p.m_Program.m_Program);
    for (size_t i = 0; i < m_Params.size(); ++i)
        Upload(p, i);
    m_ActivePass = &p;
    m_Device->SetActivePass(&p.m_Program);
    return D3D_OK;
}

HRESULT CGlEffect::EndPass()
{
    if (!m_ActivePass)
        return D3DERR_INVALIDCALL;
    if (m_Device && m_Device->ActivePass() == &m_ActivePass->m_Program)
        m_Device->SetActivePass(nullptr);
    m_ActivePass = nullptr;
    return D3D_OK;
}

HRESULT CGlEffect::End()
{
    if (!m_Begun)
        return D3DERR_INVALIDCALL;
    if (m_ActivePass)
        EndPass();
    m_Begun = false;
    return D3D_OK;
}

// ---------------------------------------------------------------- creation

void WriteErrors(const std::string& text, char* errors, size_t errorsSize)
{
    if (!errors || errorsSize == 0)
        return;
    const size_t n = std::min(text.size(), errorsSize - 1);
    std::memcpy(errors, text.data(), n);
    errors[n] = '\0';
}

// Builds every pass of the parsed effect; false with the log on any failure.
bool Build(CGlDevice* device, const SParsed& parsed, CGlEffect* effect, std::string* error)
{
    // Parameters: every uniform declared anywhere in the source.
    std::vector<SDeclared> declared;
    std::string all;
    for (const SChunk& c : parsed.m_Common)
        all += c.m_Text;
    for (const SFunction& f : parsed.m_Functions)
        all += f.m_Body.m_Text;
    ScanUniforms(all, &declared);
    int units = 0;
    for (const SDeclared& d : declared)
    {
        SParam p;
        p.m_Name = d.m_Name;
        p.m_Type = d.m_Type;
        if (d.m_Type == EParamType::Texture)
        {
            p.m_Unit = units++;
            // Direct3D's default sampler states until @sampler says otherwise.
            SSamplerDesc s;
            for (const SSamplerDesc& desc : parsed.m_Samplers)
                if (desc.m_Uniform == d.m_Name)
                    s = desc;
            glGenSamplers(1, &p.m_Sampler);
            glSamplerParameteri(p.m_Sampler, GL_TEXTURE_MIN_FILTER, s.m_Min);
            glSamplerParameteri(p.m_Sampler, GL_TEXTURE_MAG_FILTER, s.m_Mag);
            glSamplerParameteri(p.m_Sampler, GL_TEXTURE_WRAP_S, s.m_WrapS);
            glSamplerParameteri(p.m_Sampler, GL_TEXTURE_WRAP_T, s.m_WrapT);
        }
        effect->m_Params.push_back(p);
    }
    for (const SSamplerDesc& s : parsed.m_Samplers)
    {
        bool found = false;
        for (const SDeclared& d : declared)
            found = found || (d.m_Name == s.m_Uniform && d.m_Type == EParamType::Texture);
        if (!found)
        {
            *error = "@sampler " + s.m_Uniform + ": no sampler2D uniform of that name";
            return false;
        }
    }
    GLint maxUnits = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &maxUnits);
    if (units >= maxUnits)  // the last unit is the device's own
    {
        *error = "too many samplers";
        return false;
    }

    // Each function compiled once, however many passes use it.
    std::map<std::string, GLuint> shaders;
    bool ok = true;
    auto compile = [&](const std::string& name, bool pixel) -> GLuint {
        auto it = shaders.find(name);
        if (it != shaders.end())
            return it->second;
        const SFunction* f = nullptr;
        for (const SFunction& fn : parsed.m_Functions)
            if (fn.m_Name == name && fn.m_Pixel == pixel)
                f = &fn;
        if (!f)
        {
            *error += std::string(pixel ? "pixel" : "vertex") + " function " + name + " not found\n";
            return 0;
        }
        const std::string source = StageSource(parsed, *f, !device->HasClipControl());
        const GLuint shader = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint status = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
        shaders[name] = shader;
        if (!status)
        {
            *error += std::string(pixel ? "pixel " : "vertex ") + name + ":\n" + ShaderLog(shader);
            return 0;
        }
        return shader;
    };

    for (const STechniqueDesc& td : parsed.m_Techniques)
    {
        STechnique t;
        t.m_Name = td.m_Name;
        for (const SPassDesc& pd : td.m_Passes)
        {
            const GLuint vs = compile(pd.m_Vertex, false);
            const GLuint ps = compile(pd.m_Pixel, true);
            if (!vs || !ps)
            {
                ok = false;
                continue;
            }
            SPass pass;
            const GLuint program = glCreateProgram();
            pass.m_Program.m_Program = program;
            glAttachShader(program, vs);
            glAttachShader(program, ps);
            glLinkProgram(program);
            glDetachShader(program, vs);
            glDetachShader(program, ps);
            GLint status = 0;
            glGetProgramiv(program, GL_LINK_STATUS, &status);
            if (!status)
            {
                *error += "technique " + td.m_Name + " pass " + pd.m_Name + ":\n" + ProgramLog(program);
                glDeleteProgram(program);
                ok = false;
                continue;
            }
            pass.m_Program.m_AlphaFuncLocation = glGetUniformLocation(program, "orba_AlphaFunc");
            pass.m_Program.m_AlphaRefLocation = glGetUniformLocation(program, "orba_AlphaRef");
            glUseProgram(program);
            if (pass.m_Program.m_AlphaFuncLocation >= 0)
                glUniform1i(pass.m_Program.m_AlphaFuncLocation, 0);
            pass.m_Program.m_AlphaFunc = 0;
            pass.m_Program.m_AlphaRef = 0;
            for (const SParam& p : effect->m_Params)
            {
                const GLint location = glGetUniformLocation(program, p.m_Name.c_str());
                pass.m_Locations.push_back(location);
                pass.m_Uploaded.push_back(0);
                if (p.m_Type == EParamType::Texture && location >= 0)
                    glUniform1i(location, p.m_Unit);
            }
            t.m_Passes.push_back(std::move(pass));
        }
        effect->m_Techniques.push_back(std::move(t));
    }
    glUseProgram(0);
    for (auto& s : shaders)
        glDeleteShader(s.second);
    return ok;
}

}  // namespace

HRESULT CreateGlEffect(CGlDevice* device, const char* source, size_t length, ID3DXEffect** effect, char* errors,
                       size_t errorsSize)
{
    if (!effect)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    WriteErrors("", errors, errorsSize);
    if (!device || !source)
        return D3DERR_INVALIDCALL;
    // A terminating zero inside the length ends the text.
    const std::string_view text(source, strnlen(source, length));

    SParsed parsed;
    std::string error;
    if (!Parse(text, &parsed, &error))
    {
        WriteErrors(error, errors, errorsSize);
        return E_FAIL;
    }
    auto* e = new CGlEffect(device);
    if (!Build(device, parsed, e, &error))
    {
        WriteErrors(error, errors, errorsSize);
        e->Release();
        return E_FAIL;
    }
    *effect = e;
    return D3D_OK;
}
