// The effect layer: the section form, failures with their log, parameters by name.
#include <cstring>
#include <string>

#include "support/VideoFixture.h"
#include "support/TestEnv.h"

namespace {

std::string Log(ID3DXBuffer* errors)
{
    return errors ? std::string(static_cast<const char*>(errors->GetBufferPointer())) : std::string();
}

HRESULT Create(IDirect3DDevice9* device, const std::string& source, ID3DXEffect** effect, std::string* log)
{
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, source.data(), static_cast<UINT>(source.size()), nullptr, nullptr,
                                        D3DXSHADER_OPTIMIZATION_LEVEL3, nullptr, effect, &errors);
    *log = Log(errors);
    if (errors)
        errors->Release();
    return hr;
}

const char s_Pass[] = "@technique T\npass p0 VS PS\n";
const char s_Vertex[] = "@vertex VS\nlayout(location = 0) in vec3 i_Pos;\nvoid main() { gl_Position = vec4(i_Pos, 1.0); }\n";

TEST_F(VideoTest, CompileFailureGivesNoEffectAndTheLog)
{
    Open(true);
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    std::string log;
    const std::string bad = std::string(s_Vertex) + "@pixel PS\nvoid main() { o_Color = undefined_thing; }\n" + s_Pass;
    EXPECT_TRUE(FAILED(Create(m_Device, bad, &effect, &log)));
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(log.find("undefined_thing"), std::string::npos) << log;
    EXPECT_NE(log.find("PS"), std::string::npos) << log;

    // A pass naming a function that is not there.
    effect = reinterpret_cast<ID3DXEffect*>(1);
    const std::string missing = std::string(s_Vertex) + "@technique T\npass p0 VS PS_Gone\n";
    EXPECT_TRUE(FAILED(Create(m_Device, missing, &effect, &log)));
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(log.find("PS_Gone"), std::string::npos) << log;

    // Text outside the form, an unknown section, no technique at all.
    for (const std::string& s : {std::string(s_Vertex) + "@technique T\npass p0 VS\n",
                                 std::string("@shader X\n"), std::string(s_Vertex),
                                 std::string(s_Vertex) + "@sampler g_X sharp point none wrap wrap\n" + s_Pass})
    {
        effect = reinterpret_cast<ID3DXEffect*>(1);
        EXPECT_TRUE(FAILED(Create(m_Device, s, &effect, &log))) << s;
        EXPECT_EQ(effect, nullptr);
        EXPECT_FALSE(log.empty());
    }
}

TEST_F(VideoTest, ParametersAndTechniquesByName)
{
    Open(true);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    EXPECT_EQ(m_Effect->SetMatrix("g_OrthogonalMatrix", &m), D3D_OK);
    EXPECT_EQ(m_Effect->SetMatrix("g_NoSuchMatrix", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Effect->SetMatrix("g_Texture", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Effect->SetTexture("g_OrthogonalMatrix", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Effect->SetTexture("g_Texture", nullptr), D3D_OK);
    EXPECT_EQ(m_Effect->SetFloat("g_Level", 0.5f), D3D_OK);
    EXPECT_EQ(m_Effect->SetFloat(nullptr, 0.5f), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Effect->SetTechnique("Col"), D3D_OK);
    EXPECT_EQ(m_Effect->SetTechnique("NoSuchTechnique"), D3DERR_INVALIDCALL);
    UINT passes = 0;
    EXPECT_EQ(m_Effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(m_Effect->BeginPass(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(m_Effect->EndPass(), D3D_OK);
    EXPECT_EQ(m_Effect->End(), D3D_OK);
}

TEST_F(VideoTest, MatricesMultiplyAsRowVectors)
{
    Open(true);
    // Translation by 100 pixels right, then the orthographic matrix: with row
    // vectors the translation sits in the fourth row and applies first.
    D3DXMATRIX shift;
    D3DXMatrixIdentity(&shift);
    shift[3][0] = 100.0f;
    const D3DXMATRIX product = [&] {
        D3DXMATRIX r(0.0f);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k)
                    r[i][j] += shift[i][k] * m_Ortho[k][j];
        return r;
    }();
    ASSERT_EQ(m_Effect->SetMatrix("g_OrthogonalMatrix", &product), D3D_OK);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    const float tri[3][2] = {{10, 10}, {30, 10}, {10, 30}};
    DrawTriangle(tri, 0xFFFFFFFFu);
    const std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 112, 12), 0xFFFFFFFFu);
    EXPECT_EQ(At(p, 12, 12), 0xFF000000u);
}

TEST_F(VideoTest, EffectsComeFromFilesWithBackslashPaths)
{
    Open(true);
    const std::string dir = MakeTempDir("platform_video_effects");
    const std::string path = dir + "/Test.fx";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(g_TestEffectSource, 1, std::strlen(g_TestEffectSource), f);
    std::fclose(f);
    std::string windowsPath = path;
    const size_t slash = windowsPath.rfind('/');
    windowsPath[slash] = '\\';
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffectFromFileA(m_Device, windowsPath.c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors),
              D3D_OK);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->SetTechnique("Depth"), D3D_OK);
    effect->Release();
    EXPECT_TRUE(FAILED(D3DXCreateEffectFromFileA(m_Device, (dir + "/Missing.fx").c_str(), nullptr, nullptr, 0,
                                                 nullptr, &effect, &errors)));
    EXPECT_EQ(effect, nullptr);
    EXPECT_TRUE(FAILED(D3DXCreateEffectFromResourceA(m_Device, nullptr, 9999, nullptr, nullptr, 0, nullptr, &effect,
                                                     &errors)));
    EXPECT_EQ(effect, nullptr);
}

}  // namespace
