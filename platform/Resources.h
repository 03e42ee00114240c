#pragma once
// Pictures inside the plug-in library, found by type ("PNG", "GIF") and
// numeric id. On Linux they are compiled in as byte arrays by the build.
bool FindEmbeddedResource(const char* type, int id, const void** data, int* size);
