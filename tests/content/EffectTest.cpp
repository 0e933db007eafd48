#include <gtest/gtest.h>

#include <limits>

#include "content/Effect.h"
#include "app/EffectClasses.h"
#include "content/EffectManager.h"
#include "content/Loading.h"
#include "musicdisk/MusicDisk.h"
#include "support/Globals.h"

namespace {

// An effect that notes its calls in a shared journal.
class CJournalEffect : public CEffect
{
public:
    CJournalEffect(std::string name, std::vector<std::string>& journal, bool endOnUpdate = false)
        : m_Name(std::move(name)), m_Journal(journal), m_EndOnUpdate(endOnUpdate)
    {
        m_TimeLeft = 1e9f;
    }
    ~CJournalEffect() override { m_Journal.push_back("delete " + m_Name); }
    void Update(float dt) override
    {
        CEffect::Update(dt);
        m_Journal.push_back("update " + m_Name);
        if (m_EndOnUpdate && !m_Ended)
        {
            m_Ended = true;
            End();
        }
    }
    void Render() override { m_Journal.push_back("render " + m_Name); }

    std::string m_Name;
    std::vector<std::string>& m_Journal;
    bool m_EndOnUpdate;
};

class EffectTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetProgramState(); }
    void TearDown() override { ResetProgramState(); }
    std::vector<std::string> m_Journal;
};

TEST_F(EffectTest, RegistryReadsNewestFirst)
{
    ASSERT_EQ(CEffectClass::s_Head, &g_CMusicDiskClass);
    EXPECT_EQ(g_CMusicDiskClass.m_Next, &g_CLoadingClass);
    EXPECT_EQ(g_CLoadingClass.m_Prev, &g_CMusicDiskClass);
    EXPECT_EQ(g_CLoadingClass.m_Next, nullptr);
    EXPECT_STREQ(g_CLoadingClass.GetName().c_str(), "CLoading");
    EXPECT_STREQ(g_CMusicDiskClass.GetName().c_str(), "CMusicDisk");
    EXPECT_EQ(g_CMusicDiskClass.GetSize(), sizeof(CMusicDisk));
}

class CCProbe final : public CEffectClassImpl<CEffect>
{
public:
    explicit CCProbe(int id) : m_Id(id) {}
    int32_t GetId() override { return m_Id; }
    CFixedString GetName() override { return CFixedString("probe"); }
    int m_Id;
};

TEST_F(EffectTest, UnlinkingInAnyOrderKeepsTheListConsistent)
{
    CEffectClass* const headBefore = CEffectClass::s_Head;
    {
        auto* a = new CCProbe(100);
        auto* b = new CCProbe(101);
        auto* c = new CCProbe(102);
        ASSERT_EQ(CEffectClass::s_Head, c);
        delete b;  // middle
        EXPECT_EQ(c->m_Next, a);
        EXPECT_EQ(a->m_Prev, c);
        delete c;  // head
        EXPECT_EQ(CEffectClass::s_Head, a);
        EXPECT_EQ(a->m_Prev, nullptr);
        delete a;
    }
    EXPECT_EQ(CEffectClass::s_Head, headBefore);
    EXPECT_EQ(headBefore->m_Prev, nullptr);
}

TEST_F(EffectTest, CreateEffectByIdSetsClassLayerAndLifetime)
{
    EXPECT_EQ(CreateEffect(2, 0, 1.0f), nullptr);
    EXPECT_EQ(CreateEffect(-1, 0, 1.0f), nullptr);
    CEffect* loading = CreateEffect(0, 7, 3.5f);
    ASSERT_NE(loading, nullptr);
    EXPECT_NE(dynamic_cast<CLoading*>(loading), nullptr);
    EXPECT_EQ(loading->m_ClassId, 0);
    EXPECT_EQ(loading->m_Layer, 7u);
    EXPECT_EQ(loading->m_TimeLeft, 3.5f);
    EXPECT_FALSE(loading->m_Ended);
    delete loading;
    EXPECT_TRUE(g_EffectManager.m_Running.empty());

    CEffect* disk = CreateEffect(1, 4, 10000.0f);
    ASSERT_NE(disk, nullptr);
    EXPECT_NE(dynamic_cast<CMusicDisk*>(disk), nullptr);
    EXPECT_EQ(disk->m_ClassId, 1);
    EXPECT_EQ(disk->m_Layer, 4u);
    EXPECT_EQ(disk->m_TimeLeft, 10000.0f);
    delete disk;
}

TEST_F(EffectTest, CountDownEndsOnceAtZero)
{
    CEffect* e = new CEffect;
    e->m_TimeLeft = 0.5f;
    AddEffect(e);
    e->Update(0.25f);
    EXPECT_EQ(e->m_TimeLeft, 0.25f);
    EXPECT_TRUE(g_EffectManager.m_Removals.empty());
    e->Update(0.25f);
    EXPECT_EQ(e->m_TimeLeft, 0.0f);
    EXPECT_TRUE(e->m_Ended);
    EXPECT_EQ(g_EffectManager.m_Removals.size(), 1u);
    e->Update(0.25f);
    EXPECT_EQ(g_EffectManager.m_Removals.size(), 1u);
    UpdateEffects(0.0f);
    EXPECT_TRUE(g_EffectManager.m_Running.empty());
}

TEST_F(EffectTest, LargestFloatLifetimeNeverRunsOutAndNegativeEndsAtOnce)
{
    CEffect forever;
    forever.m_TimeLeft = std::numeric_limits<float>::max();
    for (int i = 0; i < 1000; ++i)
        forever.CountDown(10.0f);
    EXPECT_EQ(forever.m_TimeLeft, std::numeric_limits<float>::max());
    EXPECT_FALSE(forever.m_Ended);

    CEffect* early = new CEffect;
    early->m_TimeLeft = -1.0f;
    AddEffect(early);
    early->Update(0.0f);
    EXPECT_TRUE(early->m_Ended);
}

TEST_F(EffectTest, EffectsRunInStableUnsignedLayerOrder)
{
    auto* five = new CJournalEffect("five", m_Journal);
    five->m_Layer = 5;
    auto* zeroA = new CJournalEffect("zeroA", m_Journal);
    auto* top = new CJournalEffect("top", m_Journal);
    top->m_Layer = 0xFFFFFFFFu;
    auto* zeroB = new CJournalEffect("zeroB", m_Journal);
    AddEffect(five);
    AddEffect(top);
    AddEffect(zeroA);
    AddEffect(zeroB);
    UpdateEffects(0.0f);
    const std::vector<std::string> expected = {"update zeroA", "render zeroA", "update zeroB", "render zeroB",
                                               "update five",  "render five",  "update top",   "render top"};
    EXPECT_EQ(m_Journal, expected);
}

TEST_F(EffectTest, EffectEndingItselfStillRendersThenIsDeletedAfterTheWalk)
{
    auto* quitter = new CJournalEffect("quitter", m_Journal, true);
    auto* other = new CJournalEffect("other", m_Journal);
    other->m_Layer = 1;
    AddEffect(quitter);
    AddEffect(other);
    UpdateEffects(0.0f);
    const std::vector<std::string> expected = {"update quitter", "render quitter", "update other", "render other",
                                               "delete quitter"};
    EXPECT_EQ(m_Journal, expected);
    m_Journal.clear();
    UpdateEffects(0.0f);
    EXPECT_EQ(m_Journal, (std::vector<std::string>{"update other", "render other"}));
}

TEST_F(EffectTest, ChildrenRunAfterTheirParentAndAreUnlinkedWhenRemoved)
{
    auto* parent = new CJournalEffect("parent", m_Journal);
    auto* child = new CJournalEffect("child", m_Journal, true);
    child->m_Layer = 3;
    parent->m_Children.push_back(child);
    AddEffect(parent);
    AddEffect(child);
    UpdateEffects(0.0f);
    EXPECT_TRUE(parent->m_Children.empty());
    EXPECT_EQ(m_Journal.front(), "update parent");
    EXPECT_EQ(m_Journal[2], "update child");
}

TEST_F(EffectTest, RemovingTwiceInOneFrameDeletesOnce)
{
    auto* e = new CJournalEffect("twice", m_Journal);
    AddEffect(e);
    RemoveEffect(e);
    RemoveEffect(e);
    UpdateEffects(0.0f);
    EXPECT_EQ(std::count(m_Journal.begin(), m_Journal.end(), "delete twice"), 1);
}

TEST_F(EffectTest, IsLoadingActiveLooksForClassZero)
{
    EXPECT_FALSE(IsLoadingActive());
    UpdateEffects(0.0f);  // an empty manager does nothing
    CEffect* e = new CEffect;
    e->m_ClassId = 1;
    AddEffect(e);
    EXPECT_FALSE(IsLoadingActive());
    CEffect* l = new CEffect;
    l->m_ClassId = 0;
    AddEffect(l);
    EXPECT_TRUE(IsLoadingActive());
    RemoveAllEffects();
    EXPECT_FALSE(IsLoadingActive());
    EXPECT_TRUE(g_EffectManager.m_Removals.empty());
}

}  // namespace
