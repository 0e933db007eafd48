#pragma once
// Content compiled into the executable from Data/, looked up by resource id.
// Read-only after static initialisation; any thread.
#include <cstddef>
#include <cstdint>

struct SEmbeddedResource
{
    uint32_t m_Id;                // 0 ends the table
    const char* m_Name;           // file name in Data/
    const unsigned char* m_Data;  // m_Size bytes (plus a terminating zero)
    size_t m_Size;
};

extern const SEmbeddedResource g_EmbeddedResources[];

// The resource with this id, or null when there is none.
const SEmbeddedResource* FindEmbeddedResource(uint32_t id);
