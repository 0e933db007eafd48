#pragma once
// Inside platform/ only: whole-file reads for the D3DX loaders.
#include <vector>

// Reads the file at `path` (the program's '\' separators read as '/').
// False when it cannot be opened or read.
bool ReadPlatformFile(const char* path, std::vector<char>* out);
