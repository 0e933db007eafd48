// The D3DX right-handed matrices against their published values.
#include <gtest/gtest.h>

#include "platform/D3DX9.h"

namespace {

void ExpectRows(const D3DXMATRIX& m, const float (&rows)[4][4], float tolerance)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(m[i][j], rows[i][j], tolerance) << "row " << i << " column " << j;
}

TEST(D3DXMatrix, PerspectiveOf800By600At60Degrees)
{
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovRH(&m, 60.0f * 0.017453292f, 800.0f / 600.0f, 0.1f, 2000.0f);
    const float rows[4][4] = {
        {1.299038f, 0, 0, 0}, {0, 1.732051f, 0, 0}, {0, 0, -1.000050f, -1}, {0, 0, -0.100005f, 0}};
    ExpectRows(m, rows, 1e-6f);
    D3DXMatrixPerspectiveFovRH(&m, 60.0f * 0.017453292f, 800.0f / 600.0f, 0.1f, 1024.0f);
    EXPECT_NEAR(m[2][2], -1.000098f, 1e-6f);
    EXPECT_NEAR(m[3][2], -0.100010f, 1e-6f);
    D3DXMatrixPerspectiveFovRH(&m, 60.0f * 0.017453292f, 800.0f / 600.0f, 0.1f, 100.0f);
    EXPECT_NEAR(m[2][2], -1.001001f, 1e-6f);
    EXPECT_NEAR(m[3][2], -0.100100f, 1e-6f);
}

TEST(D3DXMatrix, LookAtFromZFive)
{
    D3DXMATRIX m;
    const D3DXVECTOR3 eye(0, 0, 5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtRH(&m, &eye, &at, &up);
    const float rows[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, -5, 1}};
    ExpectRows(m, rows, 0.0f);

    // Looking down -x from (3, 0, 0): the view's z axis is +x.
    const D3DXVECTOR3 eye2(3, 0, 0);
    D3DXMatrixLookAtRH(&m, &eye2, &at, &up);
    const float rows2[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, -3, 1}};
    ExpectRows(m, rows2, 1e-7f);
    // A point at the origin lands 3 in front of the eye (view z = -3).
    const glm::vec4 p = glm::vec4(0, 0, 0, 1);
    float z = 0;
    for (int k = 0; k < 4; ++k)
        z += p[k] * m[k][2];
    EXPECT_FLOAT_EQ(z, -3.0f);
}

TEST(D3DXMatrix, DegenerateLookAtStaysFinite)
{
    D3DXMATRIX m;
    const D3DXVECTOR3 eye(0, 5, 0), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtRH(&m, &eye, &at, &up);
    EXPECT_EQ(m[0][0], 0.0f);  // up parallel to the view: no x axis
    EXPECT_EQ(m[3][3], 1.0f);
}

TEST(D3DXMatrix, OrthoOffCenterMapsPixelsWithYDownward)
{
    D3DXMATRIX m;
    D3DXMatrixOrthoOffCenterRH(&m, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, 1.0f);
    const float rows[4][4] = {{0.0025f, 0, 0, 0}, {0, -1.0f / 300.0f, 0, 0}, {0, 0, -1, 0}, {-1, 1, 0, 1}};
    ExpectRows(m, rows, 1e-7f);
    // Off-centre with a depth range: the published rows.
    D3DXMatrixOrthoOffCenterRH(&m, -2.0f, 6.0f, -1.0f, 3.0f, 1.0f, 5.0f);
    const float rows2[4][4] = {{0.25f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, -0.25f, 0}, {-0.5f, -0.5f, -0.25f, 1}};
    ExpectRows(m, rows2, 1e-7f);
}

TEST(D3DXMatrix, IdentityAndNullOutput)
{
    D3DXMATRIX m(5.0f);
    EXPECT_EQ(D3DXMatrixIdentity(&m), &m);
    EXPECT_EQ(m, D3DXMATRIX(1.0f));
    EXPECT_EQ(D3DXMatrixIdentity(nullptr), nullptr);
    EXPECT_EQ(D3DXMatrixPerspectiveFovRH(nullptr, 1, 1, 1, 2), nullptr);
}

}  // namespace
