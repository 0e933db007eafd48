#include "platform/d3dx/Resource.h"

const SEmbeddedResource* FindEmbeddedResource(uint32_t id)
{
    if (id == 0)
        return nullptr;
    for (const SEmbeddedResource* r = g_EmbeddedResources; r->m_Id != 0; ++r)
        if (r->m_Id == id)
            return r;
    return nullptr;
}
