#pragma once
// The base of every screen of the show, the class objects that create them by
// id, and the registry the class objects link themselves into before the
// entry point runs. Main thread only; the registry is written only during
// static construction and destruction.
#include <cstddef>
#include <cstdint>
#include <list>

#include "content/FixedString.h"

class CEffect
{
public:
    CEffect() = default;
    virtual ~CEffect() = default;
    virtual void End();
    virtual void Update(float dt);
    virtual void Render() {}

    // The count-down every Update begins with.
    void CountDown(float dt);

    int32_t m_ClassId = -1;
    uint32_t m_Layer = 0;
    bool m_Ended = false;
    float m_TimeLeft = -1.0f;
    std::list<CEffect*> m_Children;  // not owned
};

// Links every object of T into one list without allocating. Touches nothing
// but the links: safe during static initialisation. T's constructor passes
// itself in: casting `this` down to T here, before T is constructed (or after
// it is destroyed), would be undefined.
template <class T>
class CRegistered
{
public:
    explicit CRegistered(T* self)
    {
        m_Prev = nullptr;
        m_Next = s_Head;
        s_Head = self;
        if (m_Next)
            m_Next->m_Prev = self;
    }
    ~CRegistered()
    {
        if (m_Next)
            m_Next->m_Prev = m_Prev;
        if (m_Prev)
            m_Prev->m_Next = m_Next;
        else if (s_Head && static_cast<CRegistered*>(s_Head) == this)
            s_Head = m_Next;
        m_Prev = nullptr;
        m_Next = nullptr;
    }
    CRegistered(const CRegistered&) = delete;
    CRegistered& operator=(const CRegistered&) = delete;

    T* m_Prev;  // registered later
    T* m_Next;  // registered earlier
    static inline T* s_Head = nullptr;
};

class CEffectClass : public CRegistered<CEffectClass>
{
public:
    CEffectClass() : CRegistered<CEffectClass>(this) {}
    virtual int32_t GetId() = 0;
    virtual CEffect* Create() = 0;
    virtual CFixedString GetName() = 0;
    virtual size_t GetSize() = 0;
};

template <class T>
class CEffectClassImpl : public CEffectClass
{
public:
    CEffect* Create() override { return new T; }
    size_t GetSize() override { return sizeof(T); }
};

CEffect* CreateEffect(int32_t classId, uint32_t layer, float lifetime);
